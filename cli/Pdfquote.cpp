#include "Pdfquote.h"

#include "Shortdate.h"

namespace {

QString fromStd(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The window's result fields in the order of QuoteFieldTexts::figures.
QString QuoteTexts::*const kFigureFields[16] = {
    &QuoteTexts::PR12Earn, &QuoteTexts::PR12Unearn, &QuoteTexts::PR12ERate, &QuoteTexts::PR12URate,
    &QuoteTexts::PR6Earn,  &QuoteTexts::PR6Unearn,  &QuoteTexts::PR6ERate,  &QuoteTexts::PR6URate,
    &QuoteTexts::SR12Earn, &QuoteTexts::SR12Unearn, &QuoteTexts::SR12ERate, &QuoteTexts::SR12URate,
    &QuoteTexts::SR6earn,  &QuoteTexts::SR6Unearn,  &QuoteTexts::SR6ERate,  &QuoteTexts::SR6URate,
};

} // namespace

QuoteTexts QuoteTextsFor(const QuoteOutcome &outcome, QuotationType type, const PolicyEntry &policy,
                         const CompanyDetails &company, const LocaleSettings &locale)
{
    const FieldFormats formats;
    QuoteFieldTexts fields;
    FillQuoteFieldTexts(outcome.quote, formats, locale, fields);
    // Figures the window would not write keep a fresh field's text: the
    // value 0 in the field's own format (amounts first, then two rates).
    const std::string freshAmount = formats.amount.format(0.0L, locale);
    const std::string freshRate = formats.proRata.format(0.0L, locale);
    for (int i = 0; i < 8; ++i) {
        if (fields.figures[i].empty())
            fields.figures[i] = i % 4 < 2 ? freshAmount : freshRate;
    }

    QuoteTexts texts;
    texts.additionalPremium = type == QuotationType::AdditionalPremium;
    texts.company = company;
    texts.policyNumber = fromStd(policy.number).toUpper();
    texts.client = fromStd(policy.client);
    texts.policyType = fromStd(policy.type);
    texts.premium = fromStd(formats.amount.format(outcome.premium, locale));
    texts.start = fromStd(DateFieldText(outcome.startDay, locale));
    texts.end = fromStd(DateFieldText(outcome.endDay, locale));
    texts.days = fromStd(fields.days);
    for (int i = 0; i < 16; ++i)
        texts.*kFigureFields[i] = fromStd(fields.figures[i]);
    return texts;
}
