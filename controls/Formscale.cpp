#include "Formscale.h"

#include <QFontInfo>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QRawFont>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "Fontsubst.h"

namespace {

double digitGrowth(const QFont &design, const QWidget *device)
{
    const qreal designed = DesignedDigitWidth(design);
    if (designed <= 0)
        return 1;
    // A form has a handful of fonts over a hundred controls; each is
    // measured once per face it resolves to and resolution, which start-up
    // pays for on every form it builds.
    static QHash<QString, double> measured;
    const QString key = QFontInfo(design).family() + u'|' + design.key() + u'|' +
                        QString::number(device->logicalDpiX());
    if (const auto found = measured.constFind(key); found != measured.cend())
        return *found;
    // The face's own (unhinted) advances, which the design names, read
    // from the engine the form draws with rather than from a second,
    // unhinted one loaded for the purpose.
    const QRawFont face = QRawFont::fromFont(QFont(design, device));
    const QList<QPointF> advances = face.advancesForGlyphIndexes(
        face.glyphIndexesForString(QStringLiteral("0123456789")), QRawFont::UseDesignMetrics);
    qreal widest = 0;
    for (const QPointF &advance : advances)
        widest = std::max(widest, advance.x());
    return measured[key] = widest / designed;
}

QRect scaled(const QRect &rect, double ratio)
{
    // The smallest whole rectangle around the exact one, so no control
    // ends up narrower than its share.
    return QRectF(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio).toAlignedRect();
}

QSize scaled(const QSize &size, double ratio)
{
    const auto side = [ratio](int length) {
        return int(std::min(std::ceil(length * ratio), double(QWIDGETSIZE_MAX)));
    };
    return QSize(side(size.width()), side(size.height()));
}

// How many times wider than designed the faces of `form` and its controls
// came out; 1 when none is wider.
double fontGrowth(const QWidget *form)
{
    double growth = digitGrowth(form->font(), form);
    for (const QWidget *control : form->findChildren<QWidget *>())
        growth = std::max(growth, digitGrowth(control->font(), control));
    // A face's advances come in 64ths of a pixel, so one of the design's
    // own widths may measure a hair over; only a real difference counts.
    return growth > 1.01 ? growth : 1;
}

} // namespace

void FitFormToFonts(QWidget *form)
{
    // Measured in the faces the program lays the form out in, whichever
    // application object it runs under.
    InstallFontSubstitutions();
    const double ratio = fontGrowth(form);
    if (ratio == 1)
        return;
    for (QWidget *control : form->findChildren<QWidget *>()) {
        // A control in a layout is placed by it; a window of its own is not part of the form.
        if (control->isWindow() || (control->parentWidget() && control->parentWidget()->layout()))
            continue;
        auto *label = qobject_cast<QLabel *>(control);
        const bool sizedToText = label && label->size() == label->sizeHint();
        control->setGeometry(scaled(control->geometry(), ratio));
        if (sizedToText)
            control->adjustSize();
        // A picture grows with the texts laid over it.
        if (label && !label->pixmap().isNull())
            label->setScaledContents(true);
    }
    const QSize maximum = form->maximumSize();
    form->setMinimumSize(scaled(form->minimumSize(), ratio));
    if (maximum.width() < QWIDGETSIZE_MAX || maximum.height() < QWIDGETSIZE_MAX)
        form->setMaximumSize(scaled(maximum, ratio));
    form->resize(scaled(form->size(), ratio));
}
