// SPDX-License-Identifier: GPL-3.0-or-later
#include "printing/qt/PrinterCanvas.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <cmath>
#include <type_traits>

namespace halvik {

namespace {

constexpr double kTenthMmPerInch = 254.0;

// Ratio of a face's cell height (ascent + descent) to its em size on a device.
double cellToEmRatio(const QFont& base, const QPaintDevice& device) {
    QFont probe(base);
    probe.setPixelSize(1000);
    const double height = QFontMetricsF(probe, &device).height();
    return height > 0 ? height / 1000.0 : 1.0;
}

// Maps layout coordinates to device pixels: identity until the metric mapping is switched on,
// then tenths of a millimetre with y upward from the printable area's corner.
struct Mapping {
    bool metric = false;
    double sx = 1.0;
    double sy = 1.0;

    double x(int v) const { return metric ? v * sx : v; }
    double y(int v) const { return metric ? -v * sy : v; }
    double width(int v) const { return metric ? v * sx : v; }
    QRectF rect(const Rect& r) const {
        return QRectF(QPointF(x(r.left), y(r.top)), QPointF(x(r.right), y(r.bottom))).normalized();
    }
};

}  // namespace

PrinterMetrics printerMetrics(const QPrinter& printer) {
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    PrinterMetrics m;
    m.physicalWidth = static_cast<int>(std::lround(paper.width()));
    m.physicalHeight = static_cast<int>(std::lround(paper.height()));
    m.printableWidth = static_cast<int>(std::lround(page.width()));
    m.printableHeight = static_cast<int>(std::lround(page.height()));
    m.dpiX = printer.logicalDpiX();
    m.dpiY = printer.logicalDpiY();
    return m;
}

QFont printerFont(const FontSpec& fontSpec, const QPaintDevice& device, bool metric) {
    QFont font;
    // Both faces of the printouts are serif faces with Latin letters of the Times kind; where
    // the face itself is missing, a metric-compatible Times comes before the system's default.
    font.setFamilies({QString::fromStdString(fontSpec.face), QStringLiteral("Nimbus Roman"),
                      QStringLiteral("Liberation Serif"), QStringLiteral("Times New Roman"),
                      QStringLiteral("DejaVu Serif")});
    font.setBold(fontSpec.bold);
    if (fontSpec.unit == FontSpec::Size::Points) {
        font.setPointSizeF(fontSpec.size > 0 ? fontSpec.size : 1);
        return font;
    }
    const double dpiY = device.logicalDpiY() > 0 ? device.logicalDpiY() : 72;
    const double cellPixels = metric ? fontSpec.size * dpiY / kTenthMmPerInch : fontSpec.size;
    const double emPixels = cellPixels / cellToEmRatio(font, device);
    font.setPointSizeF(std::max(emPixels, 1.0) * 72.0 / dpiY);
    return font;
}

int PrinterTextMeasurer::widthTenthMm(const FontSpec& font, const std::string& text) const {
    const QFontMetricsF metrics(printerFont(font, device_, true), &device_);
    const double pixels = metrics.horizontalAdvance(QString::fromStdString(text));
    const double dpiX = device_.logicalDpiX() > 0 ? device_.logicalDpiX() : 72;
    return static_cast<int>(std::lround(pixels * kTenthMmPerInch / dpiX));
}

void drawLayout(const PrintLayout& layout, QPainter& painter, QPrinter& printer,
                const QImage& logo) {
    Mapping map;
    double ascent = 0;
    int page = 1;
    QPen pen(Qt::black);
    pen.setCapStyle(Qt::RoundCap);
    pen.setWidthF(1.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);

    const auto useFont = [&](const FontSpec& fontSpec) {
        const QFont font = printerFont(fontSpec, printer, map.metric);
        painter.setFont(font);
        ascent = QFontMetricsF(font, &printer).ascent();
    };
    // Qt places text by its baseline; the layouts place it by the top of the character cell.
    const auto textOrigin = [&](int x, int y) { return QPointF(map.x(x), map.y(y) + ascent); };

    for (const DrawStep& step : layout.steps) {
        std::visit(
            [&](const auto& s) {
                using T = std::decay_t<decltype(s)>;
                if constexpr (std::is_same_v<T, UseFont>) {
                    useFont(s.font);
                } else if constexpr (std::is_same_v<T, PrintText>) {
                    painter.drawText(textOrigin(s.x, s.y), QString::fromStdString(s.text));
                } else if constexpr (std::is_same_v<T, PrintWarning>) {
                    painter.save();
                    painter.setPen(Qt::red);
                    painter.drawText(textOrigin(s.x, s.y), QString::fromStdString(s.text));
                    painter.restore();
                } else if constexpr (std::is_same_v<T, PrintClippedText>) {
                    const QRectF clip = map.rect(s.clip);
                    painter.fillRect(clip, Qt::white);
                    painter.save();
                    painter.setClipRect(clip);
                    painter.drawText(textOrigin(s.x, s.y), QString::fromStdString(s.text));
                    painter.restore();
                } else if constexpr (std::is_same_v<T, UsePenWidth>) {
                    pen.setWidthF(std::max(map.width(s.width), 1.0));
                    painter.setPen(pen);
                } else if constexpr (std::is_same_v<T, DrawLine>) {
                    painter.drawLine(QPointF(map.x(s.x0), map.y(s.y0)),
                                     QPointF(map.x(s.x1), map.y(s.y1)));
                } else if constexpr (std::is_same_v<T, DrawLogo>) {
                    if (!logo.isNull())
                        painter.drawImage(map.rect(s.rect), logo);
                } else if constexpr (std::is_same_v<T, StartPage>) {
                    if (!printer.newPage()) {
                        throw PrintSystemError("The printing system could not start page " +
                                               std::to_string(page + 1) + " of \"" + layout.title +
                                               "\".");
                    }
                    ++page;
                } else if constexpr (std::is_same_v<T, UseMetricMapping>) {
                    map.metric = true;
                    map.sx = printer.logicalDpiX() / kTenthMmPerInch;
                    map.sy = printer.logicalDpiY() / kTenthMmPerInch;
                }
            },
            step);
    }
}

}  // namespace halvik
