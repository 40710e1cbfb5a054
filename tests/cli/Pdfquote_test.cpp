// The texts quillon-quote --pdf puts on the quote page: those the main window
// would show for the same input.

#include <gtest/gtest.h>

#include "Pdfquote.h"
#include "Shortdate.h"

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const LocaleSettings kC;

QuoteOutcome compute(const char *premium, const char *start, const char *end)
{
    const int today = DayNumber(std::chrono::year{2026} / 12 / 7);
    return ComputeQuote({premium, start, end}, kC, today);
}

CompanyDetails company()
{
    CompanyDetails c;
    c.Co = "Harbour Office";
    c.CityLine = "Portland,ME  04101";
    return c;
}

} // namespace

TEST(QuoteTextsFor, CarriesTheWindowTextsOfAHundredDayQuote)
{
    // 1,000.00 from 1/1/2026 to 4/11/2026: 100 days; the figures are those of
    // the hand-checked batch file (tests/cli/data/mixed.expected.csv).
    const QuoteOutcome outcome = compute("1000.00", "1/1/26", "4/11");
    ASSERT_TRUE(outcome.ok());
    const QuoteTexts t = QuoteTextsFor(outcome, QuotationType::Refund, {}, company(), kC);
    EXPECT_FALSE(t.additionalPremium);
    EXPECT_EQ(t.premium, "$1,000.00");
    EXPECT_EQ(t.start, "1/1/2026") << "the date field's text once left, not what was typed";
    EXPECT_EQ(t.end, "4/11/2026");
    EXPECT_EQ(t.days, "100");
    const std::pair<QString QuoteTexts::*, const char *> figures[] = {
        {&QuoteTexts::PR12Earn, "$274.00"}, {&QuoteTexts::PR12Unearn, "$726.00"},
        {&QuoteTexts::PR12ERate, "0.274"},  {&QuoteTexts::PR12URate, "0.726"},
        {&QuoteTexts::PR6Earn, "$546.00"},  {&QuoteTexts::PR6Unearn, "$454.00"},
        {&QuoteTexts::PR6ERate, "0.546"},   {&QuoteTexts::PR6URate, "0.454"},
        {&QuoteTexts::SR12Earn, "$380.00"}, {&QuoteTexts::SR12Unearn, "$620.00"},
        {&QuoteTexts::SR12ERate, "0.38"},   {&QuoteTexts::SR12URate, "0.62"},
        {&QuoteTexts::SR6earn, "$640.00"},  {&QuoteTexts::SR6Unearn, "$360.00"},
        {&QuoteTexts::SR6ERate, "0.64"},    {&QuoteTexts::SR6URate, "0.36"},
    };
    for (std::size_t i = 0; i < std::size(figures); ++i)
        EXPECT_EQ(t.*figures[i].first, figures[i].second) << "figure " << i;
    EXPECT_EQ(t.company.Co, "Harbour Office");
    EXPECT_EQ(t.company.CityLine, "Portland,ME  04101");
}

TEST(QuoteTextsFor, NegativeDayCountLeavesFreshZerosInTheProRatedFields)
{
    // (250) from 1/2/2026 back to 1/1/2026: one day negative.
    const QuoteOutcome outcome = compute("(250)", "1/2/2026", "1/1/2026");
    ASSERT_TRUE(outcome.ok());
    const QuoteTexts t = QuoteTextsFor(outcome, QuotationType::AdditionalPremium, {}, company(), kC);
    EXPECT_TRUE(t.additionalPremium);
    EXPECT_EQ(t.premium, "($250.00)");
    EXPECT_EQ(t.days, "(1)");
    for (const QString *amount : {&t.PR12Earn, &t.PR12Unearn, &t.PR6Earn, &t.PR6Unearn})
        EXPECT_EQ(*amount, "$0.00");
    for (const QString *rate : {&t.PR12ERate, &t.PR12URate, &t.PR6ERate, &t.PR6URate})
        EXPECT_EQ(*rate, "0.000");
    EXPECT_EQ(t.SR12Unearn, "($250.00)") << "short-rated figures are still computed";
    EXPECT_EQ(t.SR6URate, "1.00");
}

TEST(QuoteTextsFor, KeepsThePolicyNumberInCapitalsAndTheRestAsTyped)
{
    struct Case
    {
        const char *name;
        PolicyEntry policy;
        const char *number, *client, *type;
    };
    const Case cases[] = {
        {"letters raised, digits and punctuation kept", {"ab-12c/x", "jane public", "Home owners"},
         "AB-12C/X", "jane public", "Home owners"},
        {"accented letters raised too", {"\xc3\xa9t\xc3\xa9-1", "", ""}, "\xc3\x89T\xc3\x89-1", "", ""},
        {"all empty", {"", "", ""}, "", "", ""},
    };
    const QuoteOutcome outcome = compute("100", "1/1/2026", "1/2/2026");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QuoteTexts t = QuoteTextsFor(outcome, QuotationType::Refund, c.policy, company(), kC);
        EXPECT_EQ(t.policyNumber, QString::fromUtf8(c.number));
        EXPECT_EQ(t.client, QString::fromUtf8(c.client));
        EXPECT_EQ(t.policyType, QString::fromUtf8(c.type));
    }
}
