#include "Pdfquote.h"

using namespace quillon;

namespace {

QString fromStd(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QuoteTexts QuoteTextsFor(const QuoteRecord &quote, const PolicyEntry &policy,
                         const CompanyDetails &company, const RuleSet *rules, const LocaleSettings *locale)
{
    QuoteTexts texts;
    texts.additionalPremium = quote.type == QuotationType::AdditionalPremium;
    texts.company = company;
    texts.policyNumber = fromStd(policy.number).toUpper();
    texts.client = fromStd(policy.client);
    texts.policyType = fromStd(policy.type);
    texts.premium = fromStd(quote.premiumText);
    texts.start = fromStd(quote.startText);
    texts.end = fromStd(quote.endText);
    texts.days = fromStd(quote.days);
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
        texts.figures[i] = fromStd(FigureText(quote, kQuoteFigures[i]));
    if (rules && locale) {
        const bool additional = quote.type == QuotationType::AdditionalPremium;
        texts.rules = QuoteRulesText(additional ? RulesForAdditionalPremium(*rules) : *rules, quote.rules, *locale);
    }
    return texts;
}
