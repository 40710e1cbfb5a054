#include "Uprpt.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "Dispfmt.h"
#include "Messages.h"
#include "Quote.h"
#include "Rules.h"

using namespace quillon;

TFQReport *FQReport = nullptr;

const QuoteItem *QuotePage::item(const QString &name) const
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [&](const QuoteItem &i) { return i.name == name; });
    return it == m_items.end() ? nullptr : &*it;
}

QuoteItem *QuotePage::find(const QString &name)
{
    return const_cast<QuoteItem *>(std::as_const(*this).item(name));
}

QString QuotePage::text(const QString &name) const
{
    const QuoteItem *found = item(name);
    return found ? found->text : QString();
}

void QuotePage::setText(const QString &name, const QString &text)
{
    QuoteItem *found = find(name);
    Q_ASSERT_X(found, "QuotePage::setText", qPrintable(name));
    if (found)
        found->text = text;
}

void QuotePage::setEnabled(const QString &name, bool enabled)
{
    QuoteItem *found = find(name);
    Q_ASSERT_X(found, "QuotePage::setEnabled", qPrintable(name));
    if (found)
        found->enabled = enabled;
}

QPoint QuoteBandOrigin(QuoteBand band)
{
    // The footer band sits on the bottom margin, not under the header band.
    return band == QuoteBand::Header ? QPoint(kMargin, kMargin)
                                     : QPoint(kMargin, kPageHeight - kMargin - kFooterHeight);
}

namespace {

struct CompanyCopy
{
    const char *label;
    QString CompanyDetails::*source;
};

const CompanyCopy kCompanyCopies[] = {
    {"CoName", &CompanyDetails::Co},       {"CoAdd1", &CompanyDetails::Add1},
    {"CoAdd2", &CompanyDetails::Add2},     {"CoCity", &CompanyDetails::CityLine},
    {"CoPhone", &CompanyDetails::Phone},   {"CoFax", &CompanyDetails::Fax},
};

struct TextCopy
{
    const char *label;
    QString QuoteTexts::*source;
};

const TextCopy kTextCopies[] = {
    {"PolicyNum", &QuoteTexts::policyNumber},
    {"Client", &QuoteTexts::client},
    {"PolicyType", &QuoteTexts::policyType},
    {"PolicyDays", &QuoteTexts::days},
    {"PolicyStart", &QuoteTexts::start},
    {"PolicyEnd", &QuoteTexts::end},
    {"PolicyPremium", &QuoteTexts::premium},
};

// The page's labels keep their own spelling (Sr12urate, sr6earn), which
// differs from the window's fields in case only.
QString figureLabel(const QuotePage &page, std::string_view field)
{
    const QString name = QString::fromLatin1(field.data(), qsizetype(field.size()));
    for (const QuoteItem &item : page.items())
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return item.name;
    return name;
}

std::size_t figureIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
        if (kQuoteFigures[i].name == name)
            return i;
    throw std::out_of_range("No quote figure is called " + std::string(name));
}

} // namespace

void FillQuotePage(QuotePage &page, const QuoteTexts &texts)
{
    const Messages::QuotationCaptions &captions = Messages::CaptionsFor(texts.additionalPremium);
    page.setText(QStringLiteral("QRLabel44"), QString::fromLatin1(captions.title));
    page.setText(QStringLiteral("QRLabel8"), QString::fromLatin1(captions.unearned));
    page.setText(QStringLiteral("QRLabel20"), QString::fromLatin1(captions.premium));
    page.setText(QStringLiteral("QRLabel38"), QString::fromLatin1(captions.start));
    page.setText(QStringLiteral("QRLabel39"), QString::fromLatin1(captions.end));
    // The other unearned rows read their caption back from the first one.
    const QString unearned = page.text(QStringLiteral("QRLabel8"));
    for (const char *name : {"QRLabel15", "QRLabel19", "QRLabel28"})
        page.setText(QString::fromLatin1(name), unearned);

    // Short-rated figures are copied in both modes; in an additional-premium
    // quote the notices keep them off the page.
    page.setEnabled(QStringLiteral("QRNA1"), texts.additionalPremium);
    page.setEnabled(QStringLiteral("QRNA2"), texts.additionalPremium);

    for (const CompanyCopy &copy : kCompanyCopies)
        page.setText(QString::fromLatin1(copy.label), texts.company.*copy.source);
    for (const TextCopy &copy : kTextCopies)
        page.setText(QString::fromLatin1(copy.label), texts.*copy.source);
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
        page.setText(figureLabel(page, kQuoteFigures[i].name), texts.figures[i]);
    // Off and empty, as designed, under the built-in rules: the page, and
    // the record a saved quote carries, are then what they have always been.
    page.setText(QStringLiteral("QRRules"), texts.rules);
    page.setEnabled(QStringLiteral("QRRules"), !texts.rules.isEmpty());
}

namespace {

QString fromStd(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// "87.5%" as the rules write a share, with the locale's decimal separator.
QString percentShown(std::string written, const LocaleSettings &locale)
{
    if (const std::size_t point = written.find('.'); point != std::string::npos)
        written.replace(point, 1, locale.decimalSeparator);
    return fromStd(written);
}

} // namespace

QString QuoteRulesText(const RuleSet &rules, const RuleOutcome &outcome, const LocaleSettings &locale)
{
    if (rules.isDefault())
        return QString();
    const RuleTexts written = TextsOf(rules);
    QStringList parts;
    switch (rules.shortRate.kind) {
    case ShortRateRule::Kind::BuiltInTables: break;
    case ShortRateRule::Kind::ShareOfProRata:
        parts << QStringLiteral("short rate %1 of pro rata").arg(percentShown(written.shortRate, locale));
        break;
    case ShortRateRule::Kind::Table:
        // The file's name only: its folder says nothing to the reader of a quote.
        parts << QStringLiteral("short rate by the %1-month table %2")
                     .arg(rules.shortRate.table->months)
                     .arg(QFileInfo(fromStd(Messages::PrintableText(rules.shortRate.table->source))).fileName());
        break;
    }
    const auto amount = [&](long double value) { return fromStd(FormatText(value, kAmountFormat, locale)); };
    switch (rules.minimumEarned.kind) {
    case MinimumEarned::Kind::None: break;
    case MinimumEarned::Kind::Amount:
        parts << QStringLiteral("minimum earned premium %1").arg(amount(rules.minimumEarned.amount));
        break;
    case MinimumEarned::Kind::PercentOfPremium:
        parts << QStringLiteral("minimum earned premium %1 of the premium")
                     .arg(percentShown(written.minimumEarned, locale));
        break;
    }
    if (rules.fees != 0.0L)
        parts << QStringLiteral("fully earned fees %1").arg(amount(rules.fees));
    if (rules.expirationDay)
        parts << QStringLiteral("a term of %1 days to the expiration date").arg(outcome.terms[0].termDays);
    QString text = QStringLiteral("Office rules: ") + parts.join(QStringLiteral(", ")) + u'.';
    for (const TermOutcome &term : outcome.terms)
        if (!term.shortRateEmpty.empty())
            text += u' ' + fromStd(Messages::ErrorDisplayText(term.shortRateEmpty));
    return text;
}

QString &QuoteTexts::figure(std::string_view name)
{
    return figures[figureIndex(name)];
}

const QString &QuoteTexts::figure(std::string_view name) const
{
    return figures[figureIndex(name)];
}
