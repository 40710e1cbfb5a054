#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <string_view>
#include <vector>

#include "Company.h"

namespace quillon {
struct LocaleSettings;
struct RuleOutcome;
struct RuleSet;
}

// The one-page quote as data: two bands of positioned labels and shapes, in
// 1/96 inch from the top-left corner of their band, drawn in order of their
// number. The quote assembly writes texts and enables the two notices; the
// page does no arithmetic and no formatting of its own. How its labels'
// texts fit is in Labelfit.h, its painting in Quotepaint.h, and writing it
// to a file in Quotefile.h.

enum class QuoteItemKind { Label, Rectangle, HorizontalLine };
enum class QuoteBand { Header, Footer }; // QRBand1, QRBand3

// How a label's text meets its width. A one-line label is never broken into
// lines: the first line of a policy number broken at its hyphens would read
// as a whole, different number.
enum class QuoteTextFit {
    OneLine, // drawn smaller until it fits; at the legible floor, cut short with "…"
    Figure,  // the same, with a lower floor: a figure must read whole
    Wrap,    // wrapped at word boundaries; lines that do not fit its height are not printed
};

struct QuoteItem
{
    QString name;
    QuoteItemKind kind = QuoteItemKind::Label;
    QuoteBand band = QuoteBand::Header;
    int order = 0;     // drawing order within the band
    QRect rect;        // 1/96 inch, band-relative
    QString text;
    QFont font;        // Arial 10 unless stated
    Qt::Alignment alignment = Qt::AlignLeft;
    bool transparent = false; // labels: draw only the text
    bool filled = false;      // rectangles: white fill under the outline
    int penWidth = 1;
    bool enabled = true;
    bool sizesToText = false;
    QuoteTextFit fit = QuoteTextFit::OneLine;
};

class QuotePage
{
public:
    // The page as designed (the tables of Quotelayout.cpp), with its
    // placeholder texts and both notices off.
    QuotePage();

    const std::vector<QuoteItem> &items() const { return m_items; }
    const QuoteItem *item(const QString &name) const;

    QString text(const QString &name) const;
    void setText(const QString &name, const QString &text);
    void setEnabled(const QString &name, bool enabled);

private:
    QuoteItem *find(const QString &name);
    std::vector<QuoteItem> m_items;
};

// Page geometry: Letter portrait with 0.5 inch margins; the header band at
// the top of the area inside the margins, the footer band at its bottom.
inline constexpr int kPageWidth = 816;   // 8.5 in
inline constexpr int kPageHeight = 1056; // 11 in
inline constexpr int kMargin = 48;       // 0.5 in
inline constexpr int kBandWidth = 720;
inline constexpr int kHeaderHeight = 841;
inline constexpr int kFooterHeight = 88;

// Where a band's top-left corner lies on the page, in 1/96 inch.
QPoint QuoteBandOrigin(QuoteBand band);

// Everything a quote puts on the page, as the texts the main window and the
// policy information dialog show; nothing here is recalculated or
// reformatted.
struct QuoteTexts
{
    bool additionalPremium = false;
    CompanyDetails company;
    QString policyNumber;
    QString client;
    QString policyType;
    QString premium;
    QString start;
    QString end;
    QString days;
    // The sixteen figures in the order of kQuoteFigures, by the window's
    // field names through figure().
    std::array<QString, 16> figures;
    // The office rules the figures were worked by (QuoteRulesText), printed
    // under them; empty under the built-in rules, and the page is then
    // exactly as it has always been.
    QString rules;

    QString &figure(std::string_view name);
    const QString &figure(std::string_view name) const;
};

// Writes one quote onto the page: the captions of its quotation type, the
// two notices (on only for an additional premium), the rules line (on only
// when it has a text), and every text copied unchanged into its label. Every label a quote uses is written, so nothing
// of an earlier quote survives.
void FillQuotePage(QuotePage &page, const QuoteTexts &texts);

// The line that names the rules a quote was worked by, for the window and
// every page that shows the quote's figures (the printed quote,
// quillon-quote's PDF pages): "Office rules: short rate 90% of pro rata,
// minimum earned premium $150.00", then why a short rate was left empty
// ("No short rate: ..."), if one was. `rules` are those given to the
// calculation (RulesForAdditionalPremium for an additional premium) and
// `outcome` is what it reported; amounts are in the premium's display format
// in `locale`. Empty for the default rules, so nothing changes on a page
// quoted as ever.
QString QuoteRulesText(const quillon::RuleSet &rules, const quillon::RuleOutcome &outcome,
                       const quillon::LocaleSettings &locale);

// The report form: created once at start-up, holds the page between quotes.
class TFQReport
{
public:
    QuotePage QR;
};

extern TFQReport *FQReport;
