#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>

#include "Filewrite.h"

class QIODevice;
class QPdfWriter;
class QuotePage;

// Quotes written to files: a saved PDF, or any file built as it goes, each
// through the program's one checked writer (Filewrite.h).

// The outcome of writing a file: it worked, or why not, in words that can
// be shown as they are ("No space left on device").
struct FileWriteResult
{
    QString error{}; // empty when the file was written
    QString warning{}; // what a save that worked should still tell (other names of the file)
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

// Sets a PDF writer up as every quote PDF is written, a saved quote and a
// batch's pages alike, so that a batch's page is drawn as the saved quote's
// is: the quote page's layout (SetQuotePageLayout, Quotepaint.h), 1200
// units to the inch, made by "Quillon". A saved quote is titled
// "Quotation", a batch of them "Quotations".
void SetUpQuotePdf(QPdfWriter &writer, const QString &title = QStringLiteral("Quotation"));

// Writes the page as a one-page PDF carrying its page record (Pagerecord.h),
// replacing any file at `path` as WriteQuoteFile does. The page is drawn in
// memory first, so a failure to draw it touches no file either.
FileWriteResult WriteQuotePdf(const std::filesystem::path &path, const QuotePage &page);
inline FileWriteResult WriteQuotePdf(const QString &path, const QuotePage &page)
{
    return WriteQuotePdf(QuoteFilePath(path), page);
}
