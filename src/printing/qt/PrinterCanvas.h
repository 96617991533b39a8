// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QImage>
#include <stdexcept>

#include "printing/DrawSteps.h"
#include "printing/TableLayouts.h"

class QPainter;
class QPaintDevice;
class QPrinter;

namespace halvik {

// The printing system refused or failed a step of a job; what() is the text for the user.
class PrintSystemError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The page the printer will print on, as the layouts need it. Device coordinates start at the
// corner of the printable area (the printer is used without full-page mode).
PrinterMetrics printerMetrics(const QPrinter& printer);

// The Qt font for a layout font on a device. A cell height is in tenths of a millimetre when
// metric is true, else in device pixels; the font is sized so ascent + descent matches it.
QFont printerFont(const FontSpec& fontSpec, const QPaintDevice& device, bool metric);

// Text widths as the printer sets them, for centring the Print All title and footer.
class PrinterTextMeasurer : public TextMeasurer {
  public:
    explicit PrinterTextMeasurer(const QPaintDevice& device) : device_(device) {}
    int widthTenthMm(const FontSpec& font, const std::string& text) const override;

  private:
    const QPaintDevice& device_;
};

// Plays the steps of a layout on an active painter of printer, starting on the current page;
// logo is the bitmap every DrawLogo step stretches. Throws PrintSystemError when the printer
// cannot start a new page.
void drawLayout(const PrintLayout& layout, QPainter& painter, QPrinter& printer,
                const QImage& logo);

}  // namespace halvik
