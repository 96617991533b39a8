// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QString>
#include <memory>

#include "TestGrid.h"

namespace halvik::testing {

// A stand-in for the window's logo picture: the logo's size in one colour.
inline QImage logoPicture() {
    QImage image(397, 376, QImage::Format_RGB32);
    image.fill(QColor(220, 20, 20));
    return image;
}

// What a user gets choosing "Print to file (PDF)" at 600 dpi on A4.
inline void useA4PdfFile(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

}  // namespace halvik::testing
