#pragma once

// What the suites' tests share: a folder of a test's own, whole files, the
// text of a PDF, and readable rows in GoogleTest's messages.

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

// A fresh folder for one test, removed with all it holds when the test ends,
// even where the test took its permissions away.
class TempFolder
{
public:
    explicit TempFolder(const char *prefix = "quillon-test");
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path file(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// A file's bytes; empty where it cannot be read or is no regular file (a
// FIFO would wait for a writer).
std::string readFile(const std::filesystem::path &path);
void writeFile(const std::filesystem::path &path, std::string_view bytes);

// The text poppler's pdftotext finds in a PDF; empty where there is no PDF
// or no pdftotext.
std::string pdfText(const std::string &path);

// A table row named in GoogleTest's messages by its `name` (declare it beside the row type).
#define QUILLON_PRINTS_BY_NAME(Type)                                                                                   \
    [[maybe_unused]] inline void PrintTo(const Type &row, std::ostream *out) { *out << row.name; }

#ifdef QT_CORE_LIB
#include <QByteArray>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline QByteArray readFile(const QString &path)
{
    return QByteArray::fromStdString(readFile(std::filesystem::path(path.toStdU16String())));
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    writeFile(std::filesystem::path(path.toStdU16String()), bytes.toStdString());
    return readFile(path) == bytes;
}

// What a program writes to its standard output, given half a minute.
inline QString toolOutput(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline QString pdfText(const QString &path)
{
    return toolOutput(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
}

struct PdfWord
{
    QString text;
    QRectF box; // PDF points from the page's top-left corner
};

// The words of a PDF where pdftotext finds them.
inline std::vector<PdfWord> pdfWords(const QString &path)
{
    static const QRegularExpression re(QStringLiteral(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re"));
    std::vector<PdfWord> words;
    const QString html = toolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        words.push_back({m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                               QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}
#endif
