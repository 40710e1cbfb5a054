#include "Quotetable.h"

#include <algorithm>
#include <vector>

#include "Messages.h"
#include "Quoterules.h"

using namespace quillon;

namespace {

// Display width in characters, counting UTF-8 continuation bytes as nothing.
std::size_t width(const std::string &text)
{
    return std::size_t(std::count_if(text.begin(), text.end(),
                                     [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void pad(std::string &out, const std::string &text, std::size_t to, bool right)
{
    const std::size_t fill = to > width(text) ? to - width(text) : 0;
    if (right)
        out.append(fill, ' ');
    out += text;
    if (!right)
        out.append(fill, ' ');
}

} // namespace

std::string QuoteTable(const QuoteRecord &quote, std::string_view rules)
{
    const QuotationType type = quote.type;
    const Messages::QuotationCaptions &labels = Messages::CaptionsFor(type == QuotationType::AdditionalPremium);

    std::string out;
    const std::size_t labelWidth = 23;
    auto line = [&](const char *label, const std::string &value) {
        pad(out, label, labelWidth, false);
        out += value;
        out += '\n';
    };
    line(labels.premium, quote.premiumText);
    line(labels.start, quote.startText);
    line(labels.end, quote.endText);
    line("# of Days", quote.days);
    if (!rules.empty())
        line("Rules", std::string(rules));
    if (const std::string_view message = QuoteRangeMessage(quote); !message.empty())
        out += "\nError: " + std::string(message) + '\n';

    // Rows of cells: label, then rate and amount for 12 and 6 months.
    const bool shortRateApplies = type == QuotationType::Refund;
    const std::string notApplicable = "Not Applicable";
    // Under an expiration date the first column is the policy's own term,
    // and no 6-month term is worked.
    const bool ownTerm = quote.rules.applied && quote.rules.terms[0].actual;
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"", ownTerm ? "Policy Term (" + std::to_string(quote.rules.terms[0].termDays) + " days)"
                                : "12 Month Policies", "", "6 Month Policies", ""});
    rows.push_back({"", "Rate", "Amount", "Rate", "Amount"});
    auto shown = [&](const QuoteFigure &figure) { return std::string(ShownFigureText(quote, figure)); };
    auto section = [&](const char *heading, bool proRated, bool applies) {
        rows.push_back({heading, "", "", "", ""});
        // The window lists the unearned row first.
        for (const bool unearned : {true, false}) {
            std::vector<std::string> row{std::string("  ") + (unearned ? labels.unearned : labels.earned)};
            for (const int months : {12, 6}) {
                if (!applies || (ownTerm && months == 6)) {
                    row.push_back(notApplicable);
                    row.push_back("");
                } else {
                    row.push_back(shown(QuoteFigureOf(months, proRated, unearned, true)));
                    row.push_back(shown(QuoteFigureOf(months, proRated, unearned, false)));
                }
            }
            rows.push_back(row);
        }
    };
    section("Short Rated Premium", false, shortRateApplies);
    section("Pro-Rated Premium", true, true);

    // Term titles and "Not Applicable" span both cells of their term.
    auto spans = [](const std::vector<std::string> &row, std::size_t c) {
        return !row[c].empty() && row[c + 1].empty();
    };
    std::size_t widths[5] = {labelWidth, 0, 0, 0, 0};
    for (const auto &row : rows) {
        for (std::size_t c = 1; c < 5; c += 2) {
            if (spans(row, c))
                continue;
            widths[c] = std::max(widths[c], width(row[c]));
            widths[c + 1] = std::max(widths[c + 1], width(row[c + 1]));
        }
    }
    for (const auto &row : rows) {
        for (std::size_t c = 1; c < 5; c += 2) {
            if (spans(row, c) && widths[c] + 3 + widths[c + 1] < width(row[c]))
                widths[c + 1] = width(row[c]) - 3 - widths[c];
        }
    }
    out += '\n';
    for (const auto &row : rows) {
        pad(out, row[0], widths[0], false);
        for (std::size_t c = 1; c < 5; c += 2) {
            out += "   ";
            if (spans(row, c)) {
                pad(out, row[c], widths[c] + 3 + widths[c + 1], false);
                continue;
            }
            pad(out, row[c], widths[c], true);
            out += "   ";
            pad(out, row[c + 1], widths[c + 1], true);
        }
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        out += '\n';
    }
    return out;
}
