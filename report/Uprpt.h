#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include <QByteArray>
#include <array>
#include <string_view>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

#include "Company.h"
#include "Filewrite.h"

class QIODevice;
class QPainter;
class QPagedPaintDevice;

// The one-page quote as data: two bands of positioned labels and shapes, in
// 1/96 inch from the top-left corner of their band, drawn in order of their
// number. The quote assembly writes texts and enables the two notices; the
// page does no arithmetic and no formatting of its own.

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

// The smallest sizes text is drawn at to fit its label. A figure may go
// below the legible floor because a bracketed premium of $1,000,000,000,000.00
// needs 5.55 pt in the premium's 81 units.
inline constexpr qreal kLegiblePointSize = 6;
inline constexpr qreal kFigurePointSize = 5;

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
    // The page as designed, with its placeholder texts and both notices off.
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

// Paints the whole page onto a painter whose coordinates are 1/96 inch from
// the paper's top-left corner (the caller scales for its device). Disabled
// labels are skipped, and so is any item wholly covered by a later opaque
// item: text hidden under a notice must not survive in a PDF.
// Text is sized in points at 96 units to the inch whatever the painter's
// device is, so it keeps its size and its line breaks on every device.
void PaintQuotePage(QPainter &painter, const QuotePage &page);

// Paints the page onto a printer or PDF writer set up for Letter, full page.
// The set-up is done here: Letter, portrait, full-page mode with no device
// margins, whatever the device held before; the painter is scaled from the
// device's resolution to 1/96 inch. False when the device could not be
// drawn on or its page not finished.
bool PaintQuotePage(QPagedPaintDevice &device, const QuotePage &page);

// The outcome of writing a file: it worked, or why not, in words that can
// be shown as they are ("No space left on device").
struct FileWriteResult
{
    QString error; // empty when the file was written
    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }
};

// The file a name typed or chosen in the window stands for, as the bytes
// the file system knows it by.
std::filesystem::path QuoteFilePath(const QString &path);

// Replaces the file at `path` with `bytes` through the program's one checked
// writer (Filewrite.h): on any failure the earlier file is left as it was,
// nothing is left beside it, and the reason is returned.
FileWriteResult WriteQuoteFile(const std::filesystem::path &path, const QByteArray &bytes);

// As WriteQuoteFile, with the contents written by `body` into the new file
// as it goes, for files too long to hold in memory (a quote page per row of
// a batch). `body` returns the reason it failed, or nothing; a write that
// failed underneath is reported in its place, as the cause.
FileWriteResult WriteQuoteFileThrough(const std::filesystem::path &path,
                                      const std::function<std::optional<QString>(QIODevice &)> &body,
                                      const quillon::WriteOptions &options = {});

// Writes the page as a one-page PDF, replacing any file at `path` as
// WriteQuoteFile does. The page is drawn in memory first, so a failure to
// draw it touches no file either.
FileWriteResult WriteQuotePdf(const std::filesystem::path &path, const QuotePage &page);
inline FileWriteResult WriteQuotePdf(const QString &path, const QuotePage &page)
{
    return WriteQuotePdf(QuoteFilePath(path), page);
}

// Where a band's top-left corner lies on the page, in 1/96 inch.
QPoint QuoteBandOrigin(QuoteBand band);

// The items of one band that print, in drawing order: enabled, and not
// wholly inside a later opaque item (an enabled label that is not
// transparent, or a filled rectangle).
std::vector<const QuoteItem *> PrintedQuoteItems(const QuotePage &page, QuoteBand band);

// The lines of a label's text that print. A wrapping label: its text wrapped
// at word boundaries within its width, as many lines as fit wholly in its
// height. A label that sizes to its text: its text. Any other label: one
// line, the whole text, or when that is too wide even at the label's floor
// size, as much of it as fits followed by "…".
QStringList PrintedLabelLines(const QuoteItem &item);

// The point size a label's text prints at: its font's, or less, in steps of
// a quarter point, where that is needed to fit the text on one line.
qreal PrintedPointSize(const QuoteItem &item);

// Whether `text` would print whole in the page's label `label` (its name),
// and not cut short with "…". Lets a form warn before the quote is made.
// An unknown label name gives true.
bool QuoteFieldPrintsWhole(const QString &label, const QString &text);

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

    QString &figure(std::string_view name);
    const QString &figure(std::string_view name) const;
};

// Writes one quote onto the page: the captions of its quotation type, the
// two notices (on only for an additional premium), and every text copied
// unchanged into its label. Every label a quote uses is written, so nothing
// of an earlier quote survives.
void FillQuotePage(QuotePage &page, const QuoteTexts &texts);

// The report form: created once at start-up, holds the page between quotes.
class TFQReport
{
public:
    QuotePage QR;
};

extern TFQReport *FQReport;
