// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/widgets/WidgetFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace halvik {

namespace {

bool installed(const QString& family) {
    return QFontDatabase::hasFamily(family);
}

// The narrow face, condensed a little more, brings the widest captions ("Temperature (°F)" in
// the grid's 110-pixel column) inside their widths as the original face does.
constexpr int kSubstituteStretch = 95;

bool isSakkalMajalla(const QString& family) {
    QString key = family.toLower();
    key.remove(QLatin1Char(' '));
    return key == QLatin1String("sakkalmajalla");
}

}  // namespace

QString installedFamilyFor(const QString& family) {
    if (installed(family))
        return family;
    if (isSakkalMajalla(family)) {
        // Its Latin letters are small and narrow for the pixel size: a narrow sans keeps the
        // captions inside the widths the window was laid out with.
        static const QStringList narrow = {QStringLiteral("Nimbus Sans Narrow"),
                                           QStringLiteral("Liberation Sans Narrow"),
                                           QStringLiteral("DejaVu Sans Condensed")};
        for (const QString& candidate : narrow) {
            if (installed(candidate))
                return candidate;
        }
    }
    return QFontInfo(QFont(family)).family();
}

QFont windowFont(const QString& family, int pixelSize, bool bold) {
    const QString face = installedFamilyFor(family);
    QFont font(face);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    if (isSakkalMajalla(family) && face.compare(family, Qt::CaseInsensitive) != 0)
        font.setStretch(kSubstituteStretch);
    return font;
}

}  // namespace halvik
