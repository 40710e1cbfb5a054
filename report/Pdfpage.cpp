#include "Pdfpage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <csignal>
#include <cstdio>
#include <optional>
#include <cstdlib>

#include "Platform.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUILLON_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_ASAN 1
#endif
#endif

namespace {

// A page wider than 300 dpi on Letter is more than printing asks for.
constexpr int kLargestSide = 3400;

QString tr(const char *text)
{
    // The preview's context, where these texts were always looked up.
    return QCoreApplication::translate("TQuotePreview", text);
}

// Why a document is not a quote this program wrote, or nothing.
std::optional<QString> quoteProblem(QPdfDocument &document)
{
    if (document.status() != QPdfDocument::Status::Ready) {
        const QPdfDocument::Error error = document.error();
        if (error == QPdfDocument::Error::IncorrectPassword || error == QPdfDocument::Error::UnsupportedSecurityScheme)
            return tr("It is protected by a password");
        return tr("It is not a PDF file");
    }
    if (document.pageCount() != 1)
        return tr("It has %1 pages; a quote has one").arg(document.pageCount());
    const QSizeF size = document.pagePointSize(0);
    const QSizeF letter = QPageSize(QPageSize::Letter).size(QPageSize::Point);
    if (qAbs(size.width() - letter.width()) > 1 || qAbs(size.height() - letter.height()) > 1)
        return tr("Its page is not Letter size (8.5 x 11 inches)");
    return std::nullopt;
}

// What the page leaves blank comes out transparent, and the edges of its
// white labels half so, which prints as grey frames; so the picture is laid
// on paper white, in place.
QImage renderOnPaper(QPdfDocument &document, const QSize &size)
{
    QImage image = document.render(0, size);
    if (image.isNull())
        return image;
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
        painter.fillRect(image.rect(), Qt::white);
    }
    image.convertTo(QImage::Format_RGB32);
    return image;
}

// Bounds of its own beside the preview's watch, which hold should the
// preview stop watching, and stop at once an allocation that would fill
// memory faster than the preview looks.
void holdToBounds()
{
#ifdef QUILLON_ASAN
    // AddressSanitizer reserves terabytes of address space: under it the
    // preview's watch alone holds the memory.
    quillon::platform::HoldToBounds(2 * kPageDrawSeconds, 0);
#else
    // Twice the resident bound, as the address space also counts what is
    // reserved and never touched. Under the cap an abort is an allocation
    // that failed, pdfium's or operator new's.
    quillon::platform::HoldToBounds(2 * kPageDrawSeconds, std::uint64_t(2 * kPageDrawMiB) << 20);
    std::signal(SIGABRT, [](int) { std::_Exit(kPageOutOfMemory); });
#endif
}

int refuse(const QString &reason)
{
    const QByteArray text = reason.toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return kPageNoQuote;
}

bool writeRows(const QImage &image)
{
    const size_t row = size_t(image.width()) * 4;
    for (int y = 0; y < image.height(); ++y)
        if (std::fwrite(image.constScanLine(y), 1, row, stdout) != row)
            return false;
    return std::fflush(stdout) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    // It shows nothing, whatever platform the program that runs it has.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int width = args.value(1).toInt();
    const int height = args.value(2).toInt();
    if (args.size() != 3 || width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) {
        std::fprintf(stderr, "Usage: quillon-pdfpage WIDTH HEIGHT < quote.pdf > page.rgb32\n");
        return kPageUsage;
    }
    holdToBounds();
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return refuse(in.errorString());
    QBuffer bytes;
    bytes.setData(in.readAll());
    bytes.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&bytes);
    if (const std::optional<QString> problem = quoteProblem(document))
        return refuse(*problem);
    const QImage page = renderOnPaper(document, QSize(width, height));
    if (page.isNull())
        return refuse(tr("Its page could not be drawn"));
    return writeRows(page) ? 0 : 1;
}
