#include "Pagerecord.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>

namespace {

constexpr char kMagic[] = "Quillon quote page record ";
constexpr int kVersion = 2;

// Labels the page gained after the record's first version, each with the
// version that added it. A page whose later labels are all as designed
// (off and empty) is written in the oldest version that holds it, so a
// quote under the built-in rules keeps the very bytes it has always had and
// still opens in every earlier Quillon; a later label of a record of an
// earlier version reads as designed.
struct LaterLabel
{
    const char *name;
    int since;
};
constexpr LaterLabel kLaterLabels[] = {
    {"QRRules", 2}, // the office rules under the figures
};

// The version a label was added in: 1 for the page's first labels.
int labelSince(const QString &name)
{
    for (const LaterLabel &label : kLaterLabels)
        if (name == QLatin1String(label.name))
            return label.since;
    return 1;
}

bool asDesigned(const QuoteItem &item)
{
    return !item.enabled && item.text.isEmpty();
}

int recordVersion(const QuotePage &page)
{
    int version = 1;
    for (const QuoteItem &item : page.items())
        if (item.kind == QuoteItemKind::Label && !asDesigned(item))
            version = std::max(version, labelSince(item.name));
    return version;
}
constexpr char kEnd[] = "end";
// The record is written straight after its stream's keyword, so its first
// line there is what marks it, wherever the file's objects lie.
constexpr char kStreamStart[] = "\nstream\n";
constexpr char kStreamEnd[] = "\nendstream";

QString tr(const char *text)
{
    // The preview's context, where the reasons Open gives are looked up.
    return QCoreApplication::translate("TQuotePreview", text);
}

QByteArray escaped(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// Nothing for an escape other than the three, or a bare carriage return: the
// writer escapes every one, so a bare one is a file whose line ends were
// converted since.
std::optional<QByteArray> unescaped(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r')
            return std::nullopt;
        if (c == '\\') {
            if (++i == text.size())
                return std::nullopt;
            switch (text[i]) {
            case '\\': c = '\\'; break;
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            default: return std::nullopt;
            }
        }
        out += c;
    }
    return out;
}

// Strict: overlong forms, surrogates and cut sequences are refused, not
// replaced; a leading byte-order mark is a character of the text.
std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

QString damaged()
{
    return tr("Its page record is damaged");
}

// The version the line after the magic words gives, 1 to kVersion; 0 with
// `problem` set otherwise.
int readVersion(QByteArrayView version, QString &problem)
{
    const bool number = !version.isEmpty() && version.size() <= 9 && version[0] != '0'
                        && std::all_of(version.begin(), version.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number && version.toInt() <= kVersion)
        return version.toInt();
    problem = number ? tr("It was saved by a later version of Quillon, whose page record this one cannot read")
                     : damaged();
    return 0;
}

// One label line, "+Name=text" or "-Name=text", written onto `page`; false
// for anything else, a label met before (in `seen`) or one the record's
// `version` does not have included.
bool readLabelLine(QByteArrayView line, int version, QuotePage &page, QSet<QString> &seen)
{
    const qsizetype equals = line.indexOf('=');
    if (line.size() < 3 || (line[0] != '+' && line[0] != '-') || equals < 2)
        return false;
    const QString name = QString::fromLatin1(line.sliced(1, equals - 1));
    const QuoteItem *item = page.item(name);
    if (!item || item->kind != QuoteItemKind::Label || seen.contains(name) || labelSince(name) > version)
        return false;
    const std::optional<QByteArray> bytes = unescaped(line.sliced(equals + 1));
    if (!bytes || bytes->size() > kLargestRecordText)
        return false;
    const std::optional<QString> text = strictUtf8(*bytes);
    if (!text)
        return false;
    seen.insert(name);
    page.setText(name, *text);
    page.setEnabled(name, line[0] == '+');
    return true;
}

// Reads the record, at most kLargestPageRecord bytes, onto `page`; the
// reason it is refused, or nothing.
QString readRecord(QByteArrayView record, QuotePage &page)
{
    if (!record.endsWith('\n'))
        return damaged();
    qsizetype end = record.indexOf('\n');
    const QByteArrayView first = record.first(end);
    if (!first.startsWith(kMagic))
        return damaged();
    QString problem;
    const int version = readVersion(first.sliced(std::strlen(kMagic)), problem);
    if (!version)
        return problem;
    QSet<QString> seen;
    for (;;) {
        const qsizetype start = end + 1;
        if (start == record.size())
            return damaged(); // no end line: cut short
        end = record.indexOf('\n', start);
        const QByteArrayView line = record.sliced(start, end - start);
        if (line == QByteArrayView(kEnd))
            break;
        if (!readLabelLine(line, version, page, seen))
            return damaged();
    }
    const auto labels = std::count_if(page.items().begin(), page.items().end(), [&](const QuoteItem &item) {
        return item.kind == QuoteItemKind::Label && labelSince(item.name) <= version;
    });
    if (end + 1 != record.size() || seen.size() != labels)
        return damaged();
    return QString();
}

// What of QPdfWriter's own file the update refers to.
struct WrittenPdf
{
    qint64 size = 0;      // objects, the free object 0 included
    qint64 root = 0;      // the catalog's number
    QByteArray info;      // "/Info n 0 R", or empty
    QByteArray id;        // "/ID [...]", or empty
    QByteArray catalog;   // the catalog's entries, between its "<<" and ">>"
    qint64 xref = 0;      // where its cross-reference table starts
};

QByteArray captured(const QString &tail, const char *pattern, int group = 0)
{
    const QRegularExpressionMatch match = QRegularExpression(QString::fromLatin1(pattern)).match(tail);
    return match.hasMatch() ? match.captured(group).toLatin1() : QByteArray();
}

// The catalog as the cross-reference table of `written` places it.
bool readCatalog(const QByteArray &pdf, WrittenPdf &written)
{
    // "xref", "0 <size>", then an entry of 20 bytes for each object.
    const QByteArray head = "xref\n0 " + QByteArray::number(written.size) + '\n';
    const qint64 entry = written.xref + head.size() + 20 * written.root;
    if (written.root <= 0 || written.root >= written.size || !QByteArrayView(pdf).sliced(written.xref).startsWith(head)
        || entry + 20 > pdf.size())
        return false;
    bool ok = false;
    const qint64 at = pdf.mid(entry, 10).toLongLong(&ok);
    const QByteArray opening = QByteArray::number(written.root) + " 0 obj\n<<";
    if (!ok || at < 0 || at >= written.xref || !QByteArrayView(pdf).sliced(at).startsWith(opening))
        return false;
    const qsizetype close = pdf.indexOf(">>\nendobj", at);
    if (close < 0 || close > written.xref)
        return false;
    written.catalog = pdf.mid(at + opening.size(), close - at - opening.size());
    return written.catalog.contains("/Type /Catalog") && !written.catalog.contains("/Names");
}

std::optional<WrittenPdf> writtenPdf(const QByteArray &pdf)
{
    // QPdfWriter ends with its trailer, "startxref", the table's place and "%%EOF".
    const qsizetype trailer = pdf.lastIndexOf("\ntrailer\n");
    if (trailer < 0 || pdf.size() - trailer > 1024)
        return std::nullopt;
    const QString tail = QString::fromLatin1(QByteArrayView(pdf).sliced(trailer));
    WrittenPdf written;
    written.size = captured(tail, R"(/Size (\d+))", 1).toLongLong();
    written.root = captured(tail, R"(/Root (\d+) 0 R)", 1).toLongLong();
    written.info = captured(tail, R"(/Info \d+ 0 R)");
    written.id = captured(tail, R"(/ID\s*\[[^\]]*\])");
    written.xref = captured(tail, R"(startxref\s+(\d+)\s+%%EOF\s*$)", 1).toLongLong();
    if (tail.contains(QStringLiteral("/Encrypt")) || written.xref <= 0 || written.xref >= trailer || !readCatalog(pdf, written))
        return std::nullopt;
    return written;
}

QByteArray xrefEntry(qsizetype offset)
{
    return QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
}

} // namespace

std::optional<QByteArray> QuotePageRecord(const QuotePage &page)
{
    const int version = recordVersion(page);
    QByteArray record = kMagic + QByteArray::number(version) + '\n';
    for (const QuoteItem &item : page.items()) {
        if (item.kind != QuoteItemKind::Label || labelSince(item.name) > version)
            continue;
        const QByteArray text = item.text.toUtf8();
        if (!item.text.isValidUtf16() || text.size() > kLargestRecordText)
            return std::nullopt;
        record += (item.enabled ? '+' : '-') + item.name.toLatin1() + '=' + escaped(text) + '\n';
    }
    record += QByteArray(kEnd) + '\n';
    if (record.size() > kLargestPageRecord)
        return std::nullopt;
    return record;
}

QByteArray WithQuotePageRecord(const QByteArray &pdf, const QuotePage &page)
{
    const std::optional<QByteArray> record = QuotePageRecord(page);
    const std::optional<WrittenPdf> written = record ? writtenPdf(pdf) : std::nullopt;
    if (!written)
        return pdf;
    const QByteArray file = QByteArray::number(written->size);
    const QByteArray holder = QByteArray::number(written->size + 1);
    const QByteArray root = QByteArray::number(written->root);
    QByteArray out = pdf;
    if (!out.endsWith('\n'))
        out += '\n';
    const qsizetype fileAt = out.size();
    out += file + " 0 obj\n<<\n/Type /EmbeddedFile\n/Subtype /text#2Fplain\n/Length " + QByteArray::number(record->size())
         + "\n>>\nstream\n" + *record + "\nendstream\nendobj\n";
    const qsizetype holderAt = out.size();
    out += holder + " 0 obj\n<<\n/Type /Filespec\n/F (" + kPageRecordName + ")\n/EF << /F " + file
         + " 0 R >>\n/Desc (The texts this quote page was drawn from)\n>>\nendobj\n";
    const qsizetype rootAt = out.size();
    out += root + " 0 obj\n<<" + written->catalog + "/Names << /EmbeddedFiles << /Names [(" + kPageRecordName + ") "
         + holder + " 0 R] >> >>\n>>\nendobj\n";
    const qsizetype xref = out.size();
    out += "xref\n" + root + " 1\n" + xrefEntry(rootAt) + file + " 2\n" + xrefEntry(fileAt) + xrefEntry(holderAt);
    out += "trailer\n<<\n/Size " + QByteArray::number(written->size + 2) + '\n';
    for (const QByteArray &entry : {written->info, written->id})
        if (!entry.isEmpty())
            out += entry + '\n';
    out += "/Root " + root + " 0 R\n/Prev " + QByteArray::number(written->xref) + "\n>>\nstartxref\n"
         + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

PageRecordRead ReadQuotePageRecord(const QByteArray &pdf)
{
    PageRecordRead read;
    const qsizetype at = pdf.lastIndexOf(QByteArray(kStreamStart) + kMagic);
    if (at < 0)
        return read;
    read.found = true;
    // Looked for no further than the longest record reaches: one longer, or
    // one cut short with the file, has no end within it.
    const qsizetype begin = at + qsizetype(std::strlen(kStreamStart));
    const QByteArrayView window = QByteArrayView(pdf).sliced(begin).first(
        std::min(pdf.size() - begin, kLargestPageRecord + qsizetype(std::strlen(kStreamEnd))));
    const qsizetype length = window.indexOf(QByteArrayView(kStreamEnd));
    if (length < 0 || length > kLargestPageRecord) {
        read.error = damaged();
        return read;
    }
    read.error = readRecord(window.first(length), read.page);
    if (!read.error.isEmpty())
        read.page = QuotePage(); // nothing of a refused record is kept
    return read;
}
