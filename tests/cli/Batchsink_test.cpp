#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "../support/Locales.h"
#include "Batchsink.h"
#include "Csv.h"
#include "Quoterules.h"

using namespace quillon;

namespace {

// A batch row as the one-row outputs make it, from the record's texts.
std::string plainRow(BatchFormat format, std::size_t line, const QuoteRecord &record)
{
    const std::string_view said = QuoteRangeMessage(record);
    const std::string message = said.empty() ? "" : "Line " + std::to_string(line) + ": " + std::string(said);
    if (format == BatchFormat::JsonLines) {
        nlohmann::ordered_json object;
        object["line"] = line;
        AddQuoteColumns(object, record, message);
        return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    std::string row;
    AppendCsvField(row, record.days);
    row += "," + std::string(RangeName(record.quote.Range));
    for (const QuoteFigure &figure : kQuoteFigures) {
        row += ',';
        AppendCsvField(row, ShownFigureText(record, figure));
    }
    row += ',';
    AppendCsvField(row, message);
    return row + "\r\n";
}

} // namespace

// The batch writes each figure straight into its row, and puts again a text
// it made before for the same value: a rate from an earlier row, an amount
// from earlier in the row. Over premiums that repeat, differ in the last
// bit, in the sign or only in the exponent, and day counts that repeat, it
// writes what the one-row outputs write, in locales whose separators take
// the long way (quotes in CSV, escapes in JSON) in the middle of a row.
TEST(TextSink, WritesWhatTheOneRowOutputsWrite)
{
    LocaleSettings quoteInGroups;
    quoteInGroups.thousandSeparator = "\"";
    const LocaleSettings locales[] = {LocaleSettings(), commaDecimalLocale(), namedLocale("fr_FR.UTF-8"),
                                      namedLocale("de_CH.UTF-8"), namedLocale("fa_IR"), quoteInGroups};
    std::mt19937_64 random(20240611);
    const auto pick = [&](std::uint64_t n) { return random() % n; };
    for (const LocaleSettings &locale : locales) {
        for (const BatchFormat format : {BatchFormat::Csv, BatchFormat::JsonLines}) {
            const auto sink = TextSink::make(format, stdout, locale);
            const auto scratch = sink->scratch();
            long double premium = 1000;
            int start = 45000, span = 100;
            for (std::size_t row = 0; row < 2000; ++row) {
                const long double changed[] = {static_cast<long double>(pick(1'000'000'000'000'000'000)) / 100,
                                               std::nextafter(premium, 1e30L), std::nextafter(premium, -1e30L),
                                               premium * 2, -premium};
                premium = pick(2) ? changed[pick(std::size(changed))] : premium;
                span = pick(3) ? span : pick(4) ? int(pick(800)) - 100 : int(pick(3000));
                start = pick(4) ? start : 40000 + int(pick(10000));
                QuoteRecord record;
                FillQuoteRecord(premium, start, start + span, locale, record);
                BatchRow batchRow;
                batchRow.line = row % 7 ? row + 2 : std::size_t(1) << pick(40);
                std::string text;
                sink->format(batchRow, record, text, scratch.get());
                ASSERT_EQ(text, plainRow(format, batchRow.line, record))
                    << "premium " << double(premium) << ", " << span << " days, separators "
                    << locale.decimalSeparator << locale.thousandSeparator;
            }
        }
    }
}
