// SPDX-License-Identifier: GPL-3.0-or-later
// Draws Halvik's logo (397 x 376 JPEG) and the window's four 24 x 24 button pictures.
// The outputs are committed under src/app/resources/; run this only to change them:
//   cmake --build <build> --target halvik-art
//   QT_QPA_PLATFORM=offscreen <build>/bin/halvik-art src/app/resources
// With --icons it draws the program's icon for the desktop menu instead, as
// hicolor/NxN/apps/halvik.png at the usual sizes; the build does that for the install.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>
#include <cstring>

namespace {

const QColor kNavy(12, 45, 92);
const QColor kIce(44, 143, 214);
const QColor kDeepIce(11, 79, 138);
const QColor kAlarm(214, 40, 40);

// The sizes of the hicolor theme that desktop menus, launchers and software centres ask for.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

// One arm of the snowflake behind the thermometer: a stroke with two pairs of barbs.
void drawSnowArm(QPainter& p, double length) {
    p.drawLine(QPointF(0, 0), QPointF(0, -length));
    for (double at : {0.45, 0.72}) {
        const double y = -length * at;
        const double barb = length * 0.22 * (1.1 - at);
        p.drawLine(QPointF(0, y), QPointF(-barb, y - barb));
        p.drawLine(QPointF(0, y), QPointF(barb, y - barb));
    }
}

// The badge: a cold-blue disc with a lighter rim, a faint snowflake and a thermometer. It takes
// the box (centre.x ± 121, centre.y ± 121) in the painter's coordinates, rim included.
void drawBadge(QPainter& p, const QPointF& centre) {
    const double radius = 118;
    QRadialGradient disc(centre - QPointF(30, 40), radius * 1.6);
    disc.setColorAt(0, kIce);
    disc.setColorAt(1, kDeepIce);
    p.setPen(QPen(QColor(170, 205, 235), 6));
    p.setBrush(disc);
    p.drawEllipse(centre, radius, radius);

    // A faint snowflake filling the disc.
    p.save();
    p.translate(centre);
    p.setPen(QPen(QColor(255, 255, 255, 70), 7, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 6; ++i) {
        drawSnowArm(p, radius * 0.86);
        p.rotate(60);
    }
    p.restore();

    // The thermometer: white tube and bulb with a red column.
    const double tubeW = 34, tubeTop = centre.y() - 88, tubeBottom = centre.y() + 52;
    const QPointF bulb(centre.x(), centre.y() + 62);
    QPainterPath glass;
    glass.addRoundedRect(QRectF(centre.x() - tubeW / 2, tubeTop, tubeW, tubeBottom - tubeTop),
                         tubeW / 2, tubeW / 2);
    glass.addEllipse(bulb, 30, 30);
    glass = glass.simplified();
    p.setPen(QPen(kNavy, 5));
    p.setBrush(Qt::white);
    p.drawPath(glass);

    p.setPen(Qt::NoPen);
    p.setBrush(kAlarm);
    p.drawEllipse(bulb, 20, 20);
    p.drawRoundedRect(QRectF(centre.x() - 8, centre.y() - 22, 16, bulb.y() - centre.y() + 22), 8,
                      8);

    // Scale marks on the tube.
    p.setPen(QPen(kNavy, 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 6; ++i) {
        const double y = tubeTop + 22 + i * 18;
        const double len = (i % 2 == 0) ? 13 : 8;
        p.drawLine(QPointF(centre.x() + tubeW / 2 - 2, y),
                   QPointF(centre.x() + tubeW / 2 - 2 - len, y));
    }
}

QImage drawLogo() {
    QImage img(397, 376, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawBadge(p, QPointF(198.5, 140));

    // The word mark and the line under it.
    QFont word("DejaVu Sans");
    word.setPixelSize(62);
    word.setWeight(QFont::Black);
    word.setLetterSpacing(QFont::AbsoluteSpacing, 9);
    p.setFont(word);
    p.setPen(kNavy);
    p.drawText(QRectF(0, 262, 397, 70), Qt::AlignHCenter | Qt::AlignVCenter, "HALVIK");

    p.setPen(QPen(kIce, 3));
    p.drawLine(QPointF(70, 333), QPointF(327, 333));

    QFont tag("DejaVu Sans");
    tag.setPixelSize(17);
    tag.setBold(true);
    tag.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(tag);
    p.setPen(QColor(90, 100, 115));
    p.drawText(QRectF(0, 338, 397, 30), Qt::AlignHCenter | Qt::AlignVCenter, "COLD CHAIN RECORDS");
    p.end();
    return img;
}

// The program's icon: the badge alone, on a transparent square of `size` pixels.
QImage drawIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double box = 244;  // the badge's 242 pixels and a pixel's margin on each side
    p.scale(size / box, size / box);
    drawBadge(p, QPointF(box / 2, box / 2));
    p.end();
    return img;
}

enum class Glass { Plain, Plus, Minus };

QImage drawMagnifier(Glass kind) {
    QImage img(24, 24, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Handle first, so the rim covers its end.
    p.setPen(QPen(QColor(110, 70, 30), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15.5, 15.5), QPointF(21, 21));
    p.setPen(QPen(QColor(40, 40, 48), 2));
    QRadialGradient lens(QPointF(7.5, 7.5), 9);
    lens.setColorAt(0, QColor(235, 245, 255));
    lens.setColorAt(1, QColor(160, 200, 235));
    p.setBrush(lens);
    p.drawEllipse(QPointF(10, 10), 7.5, 7.5);
    if (kind != Glass::Plain) {
        p.setPen(QPen(kNavy, 2.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(6, 10), QPointF(14, 10));
        if (kind == Glass::Plus) {
            p.drawLine(QPointF(10, 6), QPointF(10, 14));
        }
    }
    p.end();
    return img;
}

QImage drawDownloadArrow() {
    QImage img(24, 24, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(8.5, 2);
    arrow.lineTo(15.5, 2);
    arrow.lineTo(15.5, 11);
    arrow.lineTo(21, 11);
    arrow.lineTo(12, 20.5);
    arrow.lineTo(3, 11);
    arrow.lineTo(8.5, 11);
    arrow.closeSubpath();
    QLinearGradient fill(0, 2, 0, 21);
    fill.setColorAt(0, QColor(90, 160, 255));
    fill.setColorAt(1, QColor(0, 40, 200));
    p.setPen(QPen(QColor(0, 20, 110), 1.2));
    p.setBrush(fill);
    p.drawPath(arrow);
    p.end();
    return img;
}

bool save(const QImage& img, const QDir& dir, const char* name, const char* format, int quality) {
    const QString path = dir.filePath(name);
    if (!img.save(path, format, quality)) {
        std::fprintf(stderr, "halvik-art: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const bool icons = argc == 3 && std::strcmp(argv[1], "--icons") == 0;
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: halvik-art [--icons] OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[argc - 1]));
    if (icons) {
        bool ok = true;
        for (int size : kIconSizes) {
            const QString folder = QString("hicolor/%1x%1/apps").arg(size);
            if (!out.mkpath(folder)) {
                std::fprintf(stderr, "halvik-art: cannot create %s\n",
                             qPrintable(out.filePath(folder)));
                return 1;
            }
            ok = save(drawIcon(size), QDir(out.filePath(folder)), "halvik.png", "PNG", -1) && ok;
        }
        return ok ? 0 : 1;
    }
    bool ok = save(drawLogo(), out, "logo.jpg", "JPG", 92);
    ok = save(drawMagnifier(Glass::Plain), out, "zoom-undo.png", "PNG", -1) && ok;
    ok = save(drawMagnifier(Glass::Plus), out, "zoom-in.png", "PNG", -1) && ok;
    ok = save(drawMagnifier(Glass::Minus), out, "zoom-out.png", "PNG", -1) && ok;
    ok = save(drawDownloadArrow(), out, "download.png", "PNG", -1) && ok;
    return ok ? 0 : 1;
}
