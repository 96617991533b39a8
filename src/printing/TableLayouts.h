// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <functional>
#include <stdexcept>
#include <string>

#include "printing/DrawSteps.h"
#include "views/CellStore.h"

namespace halvik {

inline constexpr const char* kSelectedRowsTitle = "SELECTED TEMPERATURE DETAILS";
inline constexpr const char* kAllRowsTitle = "TEMPERATURE DETAILS";

// What the printer reports about the page it will print on, in device pixels.
struct PrinterMetrics {
    int physicalWidth = 0;  // the whole sheet
    int physicalHeight = 0;
    int printableWidth =
        0;  // the area the printer can mark; device coordinates start at its corner
    int printableHeight = 0;
    int dpiX = 0;
    int dpiY = 0;
};

// What both tables print: the grid's cells, the logger's PID caption, the grid's column widths in
// screen pixels (they set the printed column positions) and the size of the print logo in pixels.
struct TableSource {
    const CellStore& cells;
    std::string pidCaption;
    std::array<int, CellStore::kColumns> columnWidths{55, 80, 65, 110};
    int logoWidth = 397;
    int logoHeight = 376;
    // Printed in red at the top of every page when not empty (a record changed after its
    // download); the pages are otherwise the same.
    std::string warning{};
};

// Width of a text in tenths of a millimetre as the printer would set it in the given font.
class TextMeasurer {
  public:
    virtual ~TextMeasurer() = default;
    virtual int widthTenthMm(const FontSpec& font, const std::string& text) const = 0;
};

// The page cannot hold the table (a printer reporting a tiny page or a very low resolution).
class PrintLayoutError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Select & Print: grid rows firstRow..lastRow under the logo, title, PID caption and column
// captions, in device pixels. Rows that do not fit above the bottom of the printable area go on
// further pages with the same heading (without the logo) and the same columns.
PrintLayout layoutSelectedRows(const TableSource& source, const std::string& title, int firstRow,
                               int lastRow, const PrinterMetrics& metrics);

// How many grid rows one band of Select & Print rows can hold on a page of this height.
int selectedRowsPerPage(int printableHeight);

// The page furniture of Print All in tenths of a millimetre.
struct AllRowsGeometry {
    int pageWidth = 0;    // W
    int pageHeight = 0;   // H (taken with 24.3 mm per inch, which places the footer and lower rule)
    int rowsPerPage = 0;  // R
    int pageCount = 0;    // P
};

// Throws PrintLayoutError when not a single row fits on the page.
AllRowsGeometry allRowsGeometry(const PrinterMetrics& metrics, int gridRowCount);

// Print All: every grid row including the caption row, page after page, each page with the
// title, two rules and "Page : p    Total:P"; the logo and PID caption on page 1 only.
PrintLayout layoutAllRows(const TableSource& source, const std::string& title,
                          const PrinterMetrics& metrics, const TextMeasurer& measurer);

// The pages of layout for which wanted(page) holds (pages counted from 1), in their order and
// with their own page numbers and footers: the settings steps (fonts, pen, mapping) of the pages
// left out still apply, their drawing steps are dropped. Throws PrintLayoutError when no page of
// the layout is wanted.
PrintLayout keepPages(const PrintLayout& layout, const std::function<bool(int page)>& wanted);

// The face and size of the PID caption on page 1 of Print All, written before any font is chosen.
FontSpec allRowsPidCaptionFont();

}  // namespace halvik
