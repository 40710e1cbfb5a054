#include "Quotefile.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QPdfWriter>
#include <string>
#include <string_view>

#include "Pagerecord.h"
#include "Quotepaint.h"

using namespace quillon;

namespace {

QString reasonText(const std::string &reason)
{
    return QString::fromLocal8Bit(reason.data(), qsizetype(reason.size()));
}

// QPdfWriter ignores a failed write and carries on; through this device the
// failure stays with the file, whose commit then fails with its reason.
class ReplacementDevice : public QIODevice
{
public:
    explicit ReplacementDevice(quillon::ReplacementFile &file)
        : m_file(file)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_file.write(data, std::size_t(size)))
            return size;
        // Closed, so that the writer's later writes fail at once and its
        // caller can tell from isOpen() that the file is lost.
        setErrorString(reasonText(m_file.error()));
        setOpenMode(QIODevice::NotOpen);
        return -1;
    }

private:
    quillon::ReplacementFile &m_file;
};

} // namespace

std::filesystem::path QuoteFilePath(const QString &path)
{
#ifdef Q_OS_WIN
    // Windows names are UTF-16; encodeName would go through the ANSI code page.
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

FileWriteResult WriteQuoteFile(const std::filesystem::path &path, const QByteArray &bytes)
{
    std::string warning;
    const std::optional<std::string> problem =
        quillon::ReplaceFileContents(path, std::string_view(bytes.constData(), std::size_t(bytes.size())), {}, &warning);
    return problem ? FileWriteResult{reasonText(*problem), {}} : FileWriteResult{{}, reasonText(warning)};
}

FileWriteResult WriteQuoteFileThrough(const std::filesystem::path &path,
                                      const std::function<std::optional<QString>(QIODevice &)> &body,
                                      const quillon::WriteOptions &options)
{
    quillon::ReplacementFile file(path, options);
    if (file.failed())
        return {reasonText(file.error())};
    ReplacementDevice device(file);
    if (const std::optional<QString> problem = body(device)) {
        // A failed write is the cause of whatever went wrong after it.
        if (file.failed())
            return {reasonText(file.error())};
        file.abandon(problem->toStdString());
        return {*problem};
    }
    if (!file.commit())
        return {reasonText(file.error())};
    return {{}, reasonText(file.warning())};
}

void SetUpQuotePdf(QPdfWriter &writer, const QString &title)
{
    // QPdfWriter's default, named so that a later Qt's other default
    // leaves the quotes' bytes as they were.
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Quillon"));
    writer.setTitle(title);
    SetQuotePageLayout(writer);
}

FileWriteResult WriteQuotePdf(const std::filesystem::path &path, const QuotePage &page)
{
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        SetUpQuotePdf(writer);
        if (const std::optional<QString> problem = paintOnPagedDevice(writer, page))
            return {*problem};
    }
    return WriteQuoteFile(path, WithQuotePageRecord(pdf, page));
}
