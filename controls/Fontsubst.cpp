#include "Fontsubst.h"

#include <QStringList>
#include <cmath>

namespace {

struct DesignFace
{
    const char *family;
    bool serif;
};

// MS Sans Serif and MS Serif were screen faces of their own widths, but the
// forms have always been laid out in the faces standing in for them, so
// those are their design.
constexpr DesignFace kDesignFaces[] = {
    {"Arial", false},
    {"MS Sans Serif", false},
    {"Times New Roman", true},
    {"MS Serif", true},
};

QStringList standIns(bool serif)
{
    // Nimbus Sans L and Nimbus Roman No9 L are the older URW fonts' names.
    return serif ? QStringList{QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                               QStringLiteral("Nimbus Roman"), QStringLiteral("Nimbus Roman No9 L")}
                 : QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                               QStringLiteral("Nimbus Sans"), QStringLiteral("Nimbus Sans L")};
}

} // namespace

void InstallFontSubstitutions()
{
    static const bool installed = [] {
        for (const DesignFace &face : kDesignFaces)
            QFont::insertSubstitutions(QString::fromLatin1(face.family), standIns(face.serif));
        return true;
    }();
    Q_UNUSED(installed);
}

qreal DesignedDigitWidth(const QFont &font)
{
    for (const DesignFace &face : kDesignFaces) {
        if (font.family().compare(QLatin1String(face.family), Qt::CaseInsensitive) != 0)
            continue;
        // Digits are tabular in these faces: 1139/2048 em in Arial and its
        // bold, half an em in Times New Roman. Qt resolves a size to whole
        // pixels.
        const qreal em = font.pixelSize() > 0 ? font.pixelSize() : std::round(font.pointSizeF() * 96 / 72);
        return em * (face.serif ? 1024.0 : 1139.0) / 2048;
    }
    return 0;
}
