#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "../support/Locales.h"
#include "Batchsink.h"
#include "Csv.h"
#include "Quoterules.h"

using namespace quillon;

namespace {

// A batch row as the outputs write it one at a time: from the record's
// texts through AddQuoteColumns (JSON) and AppendCsvField (CSV).
std::string plainRow(BatchFormat format, std::size_t line, const QuoteRecord &record)
{
    const std::string_view said = record.ok() ? QuoteRangeMessage(record) : std::string_view(record.error);
    const std::string message = said.empty() ? std::string() : "Line " + std::to_string(line) + ": " + std::string(said);
    if (format == BatchFormat::JsonLines) {
        nlohmann::ordered_json object;
        object["line"] = line;
        AddQuoteColumns(object, record, message);
        if (!record.ok()) {
            object["days"] = nullptr;
            object["range"] = "";
        }
        return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    std::string row;
    if (record.ok()) {
        AppendCsvField(row, record.days);
        row += ',';
        row += RangeName(record.quote.Range);
    } else {
        row += ',';
    }
    for (const QuoteFigure &figure : kQuoteFigures) {
        row += ',';
        AppendCsvField(row, record.ok() ? ShownFigureText(record, figure) : std::string_view());
    }
    row += ',';
    AppendCsvField(row, message);
    return row + "\r\n";
}

} // namespace

// The batch writes each figure straight into its row, and puts again a text
// it made before for the same value: a rate from an earlier row, an amount
// from earlier in the row. Row after row of premiums that repeat, differ in
// the last bit, in the sign or only in the exponent, over day counts that
// repeat, it writes what the one-row outputs write, in every kind of
// locale: separators that need quotes in CSV or escapes in JSON take the
// long way in the middle of a row.
TEST(TextSink, WritesWhatTheOneRowOutputsWrite)
{
    LocaleSettings quoteInGroups; // CSV doubles the quotes of its figures
    quoteInGroups.thousandSeparator = "\"";
    const LocaleSettings locales[] = {
        LocaleSettings(), commaDecimalLocale(), namedLocale("fr_FR.UTF-8"), namedLocale("de_CH.UTF-8"),
        namedLocale("fa_IR"), quoteInGroups,
    };
    std::mt19937_64 random(20240611);
    const auto pick = [&](std::uint64_t n) { return random() % n; };
    for (const LocaleSettings &locale : locales) {
        for (const BatchFormat format : {BatchFormat::Csv, BatchFormat::JsonLines}) {
            std::FILE *out = std::tmpfile();
            const auto sink = TextSink::make(format, out, locale);
            const auto scratch = sink->scratch();
            long double premium = 1000;
            int start = 45000, span = 100;
            for (std::size_t row = 0; row < 2000; ++row) {
                switch (pick(9)) {
                case 0: premium = static_cast<long double>(pick(100'000'000)) / 100; break;
                case 1: premium = static_cast<long double>(pick(1'000'000'000'000'000'000)) / 100; break;
                case 2: premium = std::nextafter(premium, 1e30L); break;
                case 3: premium = std::nextafter(premium, -1e30L); break;
                case 4: premium = premium * 2; break; // the same bits but the exponent
                case 5: premium = -premium; break;
                default: break; // the same premium again
                }
                if (pick(3) == 0)
                    span = pick(4) ? int(pick(800)) - 100 : int(pick(3000));
                if (pick(4) == 0)
                    start = 40000 + int(pick(10000));
                QuoteRecord record;
                FillQuoteRecord(premium, start, start + span, locale, record);
                BatchRow batchRow;
                batchRow.line = row % 7 ? row + 2 : std::size_t(1) << pick(40);
                std::string text;
                sink->format(batchRow, record, text, scratch.get());
                ASSERT_EQ(text, plainRow(format, batchRow.line, record))
                    << "premium " << double(premium) << ", " << span << " days, decimal '" << locale.decimalSeparator
                    << "', group '" << locale.thousandSeparator << "'";
            }
            std::fclose(out);
        }
    }
}
