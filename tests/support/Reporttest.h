#pragma once

// What the quote page's tests share: a quote whose every text differs, a
// label's place in a PDF, and the page drawn, on screen or from a PDF.

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <utility>

#include "Quotepaint.h"
#include "Uprpt.h"

// Every text different, and the short-rated figures recognisable by 9s.
inline QuoteTexts distinctTexts(bool additionalPremium)
{
    QuoteTexts t;
    t.additionalPremium = additionalPremium;
    t.company = {"Harbour Office", "1 Quay Street", "Floor 2", "Portland", "ME", "04101",
                 "(207) 555-0100", "(207) 555-0199", "ON", "Portland,ME  04101"};
    t.policyNumber = "PN-4711";
    t.client = "Client Text";
    t.policyType = "Type Text";
    t.premium = "$1,234.56";
    t.start = "1/15/2026";
    t.end = "5/3/2026";
    t.days = "108";
    const std::pair<const char *, const char *> figures[] = {
        {"PR12Earn", "$101.01"}, {"PR12Unearn", "$102.02"}, {"PR12ERate", "0.103"}, {"PR12URate", "0.104"},
        {"PR6Earn", "$105.05"},  {"PR6Unearn", "$106.06"},  {"PR6ERate", "0.107"},  {"PR6URate", "0.108"},
        {"SR12Earn", "$991.01"}, {"SR12Unearn", "$992.02"}, {"SR12ERate", "0.93"},  {"SR12URate", "0.94"},
        {"SR6earn", "$995.05"},  {"SR6Unearn", "$996.06"},  {"SR6ERate", "0.97"},   {"SR6URate", "0.98"},
    };
    for (const auto &[name, text] : figures)
        t.figure(name) = QString::fromLatin1(text);
    return t;
}

// A label's box on the page, in PDF points (a unit is 1/96 inch).
inline QRectF pointsBox(const QuotePage &page, const QString &label)
{
    const QuoteItem *item = page.item(label);
    const QRectF units(item->rect.translated(QuoteBandOrigin(item->band)));
    return QRectF(units.topLeft() * 0.75, units.size() * 0.75);
}

// The page painted at 96 dpi, a unit to the pixel.
inline QImage paintedPage(const QuotePage &page)
{
    QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintQuotePage(painter, page);
    return image;
}

// Page `page` of a PDF as poppler draws it at `dpi`.
inline QImage rasterised(const QString &pdf, int dpi, int page = 1)
{
    const QTemporaryDir dir;
    const QString n = QString::number(page);
    QProcess process;
    process.start("pdftoppm", {"-r", QString::number(dpi), "-png", "-f", n, "-l", n, "-singlefile", pdf,
                               dir.filePath("page")});
    process.waitForFinished(30000);
    return QImage(dir.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
}
