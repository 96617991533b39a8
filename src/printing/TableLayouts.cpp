// SPDX-License-Identifier: GPL-3.0-or-later
#include "printing/TableLayouts.h"

#include <cstdint>

namespace halvik {

namespace {

// Select & Print, device pixels.
constexpr int kSelLogoLeft = 3000;
constexpr int kSelLogoTop = 50;
constexpr int kSelLogoExtraWidth = 200;
constexpr int kSelLogoExtraHeight = 100;
constexpr int kSelTextLeft = 150;
constexpr int kSelTitleTop = 550;
constexpr int kSelWarningTop = 400;  // between the top edge and the title, left of the logo
constexpr int kSelPidLeft = 2050;
constexpr int kSelCaptionTop = 750;
constexpr std::array<int, CellStore::kColumns> kSelCaptionLeft{150, 400, 870, 1250};
constexpr int kSelRowsTop = 850;
constexpr int kSelRowPitch = 130;
constexpr int kSelColumnScale = 5;  // screen pixels of column width to printer pixels
constexpr int kSelTextInset = 50;
constexpr int kSelClipRightGap = 30;

// Print All, tenths of a millimetre.
constexpr int kAllTopMargin = 170;
constexpr int kAllBottomMargin = 110;
constexpr int kAllRowPitch = 36;
constexpr int kAllTextHeight = 36;
constexpr int kAllTitleHeight = 48;
constexpr int kAllTitleTop = -20;
constexpr int kAllTitleShift = 100;
constexpr int kAllRulePen = 3;
constexpr int kAllLowerRuleAboveH = 85;
constexpr int kAllFooterAboveH = 80;
constexpr int kAllRowsTop = 180;
constexpr int kAllWarningTop = 110;  // between the title (and page 1's PID) and the upper rule
constexpr int kAllFirstColumn = 100;
constexpr int kAllColumnScale = 3;
// Print All, device pixels (first page, before the metric mapping).
constexpr int kAllLogoLeft = 2800;
constexpr int kAllLogoTop = 50;
constexpr int kAllLogoHeightCut = 50;
constexpr int kAllPidLeft = 1897;
constexpr int kAllPidTop = 150;

const char* const kTitleFace = "Sakkal majalla";
const char* const kTableFace = "Times New Roman";

FontSpec points(const char* face, int size, bool bold) {
    return FontSpec{face, size, FontSpec::Size::Points, bold};
}

FontSpec cellHeight(const char* face, int height) {
    return FontSpec{face, height, FontSpec::Size::CellHeight, false};
}

// Heading of a Select & Print page: title, PID caption, then the four captions of grid row 0.
void appendSelectedHeading(std::vector<DrawStep>& steps, const TableSource& source,
                           const std::string& title) {
    if (!source.warning.empty()) {
        steps.emplace_back(UseFont{points(kTableFace, 12, true)});
        steps.emplace_back(PrintWarning{kSelTextLeft, kSelWarningTop, source.warning});
    }
    steps.emplace_back(UseFont{points(kTitleFace, 12, true)});
    steps.emplace_back(PrintText{kSelTextLeft, kSelTitleTop, title});
    steps.emplace_back(UseFont{points(kTableFace, 12, true)});
    steps.emplace_back(PrintText{kSelPidLeft, kSelTitleTop, source.pidCaption});
    steps.emplace_back(UseFont{points(kTableFace, 7, false)});
    for (int c = 0; c < CellStore::kColumns; ++c) {
        steps.emplace_back(PrintText{kSelCaptionLeft[static_cast<size_t>(c)], kSelCaptionTop,
                                     source.cells.cell(c, 0)});
    }
}

// Integer part of (pixels / dotsPerInch * millimetresPerInchTimes10), computed exactly.
int truncatedMillimetres(int pixels, int dotsPerInch, int millimetresPerInchTimes10) {
    const std::int64_t numerator = static_cast<std::int64_t>(pixels) * millimetresPerInchTimes10;
    return static_cast<int>(numerator / (static_cast<std::int64_t>(dotsPerInch) * 10));
}

}  // namespace

int selectedRowsPerPage(int printableHeight) {
    if (printableHeight < kSelRowsTop + kSelRowPitch)
        return 0;
    return (printableHeight - kSelRowsTop) / kSelRowPitch;
}

PrintLayout layoutSelectedRows(const TableSource& source, const std::string& title, int firstRow,
                               int lastRow, const PrinterMetrics& metrics) {
    const int rowCount = lastRow >= firstRow ? lastRow - firstRow + 1 : 0;
    const int perPage = selectedRowsPerPage(metrics.printableHeight);
    if (rowCount > 0 && perPage < 1) {
        throw PrintLayoutError("The printer's page is too short to hold a row of the table.");
    }

    std::array<int, CellStore::kColumns + 1> edges{};  // column c spans edges[c]..edges[c + 1]
    edges[0] = kSelTextLeft;
    for (int c = 0; c < CellStore::kColumns; ++c) {
        edges[static_cast<size_t>(c) + 1] =
            edges[static_cast<size_t>(c)] +
            kSelColumnScale * source.columnWidths[static_cast<size_t>(c)];
    }

    PrintLayout layout;
    layout.title = title;
    layout.pageCount = rowCount > 0 ? (rowCount + perPage - 1) / perPage : 1;
    auto& steps = layout.steps;
    // Counted in size_t: a product in int could overflow before the widening.
    steps.reserve(12 + static_cast<size_t>(rowCount) * CellStore::kColumns +
                  static_cast<size_t>(layout.pageCount - 1) * 11);

    steps.emplace_back(DrawLogo{Rect{kSelLogoLeft, kSelLogoTop,
                                     source.logoWidth + kSelLogoLeft + kSelLogoExtraWidth,
                                     source.logoHeight + kSelLogoTop + kSelLogoExtraHeight}});
    appendSelectedHeading(steps, source, title);

    for (int i = 0; i < rowCount; ++i) {
        const int onPage = i % perPage;
        if (i > 0 && onPage == 0) {
            steps.emplace_back(StartPage{});
            appendSelectedHeading(steps, source, title);
        }
        const int row = firstRow + i;
        const int y0 = kSelRowsTop + kSelRowPitch * onPage;
        for (int c = 0; c < CellStore::kColumns; ++c) {
            const int x0 = edges[static_cast<size_t>(c)];
            const int x1 = edges[static_cast<size_t>(c) + 1];
            steps.emplace_back(PrintClippedText{
                x0 + kSelTextInset, y0 + kSelTextInset,
                Rect{x0, y0, x1 - kSelClipRightGap, y0 + kSelRowPitch}, source.cells.cell(c, row)});
        }
    }
    return layout;
}

AllRowsGeometry allRowsGeometry(const PrinterMetrics& metrics, int gridRowCount) {
    if (metrics.dpiX <= 0 || metrics.dpiY <= 0) {
        throw PrintLayoutError("The printer reports no resolution for its page.");
    }
    AllRowsGeometry g;
    g.pageWidth = 10 * truncatedMillimetres(metrics.physicalWidth, metrics.dpiX, 254);
    g.pageHeight = 10 * truncatedMillimetres(metrics.physicalHeight, metrics.dpiY, 243);
    g.rowsPerPage = (g.pageHeight - kAllTopMargin - kAllBottomMargin) / kAllRowPitch;
    if (g.rowsPerPage < 1) {
        throw PrintLayoutError("The printer's page is too short to hold a row of the table.");
    }
    const int rows = gridRowCount > 0 ? gridRowCount : 0;
    g.pageCount = rows / g.rowsPerPage + (rows % g.rowsPerPage != 0 ? 1 : 0);
    return g;
}

FontSpec allRowsPidCaptionFont() {
    return points(kTableFace, 10, false);
}

PrintLayout layoutAllRows(const TableSource& source, const std::string& title,
                          const PrinterMetrics& metrics, const TextMeasurer& measurer) {
    const int gridRows = source.cells.rowCount();
    const AllRowsGeometry g = allRowsGeometry(metrics, gridRows);

    std::array<int, CellStore::kColumns> columnX{};
    columnX[0] = kAllFirstColumn;
    for (size_t c = 1; c < columnX.size(); ++c) {
        columnX[c] = columnX[c - 1] + kAllColumnScale * source.columnWidths[c - 1];
    }

    PrintLayout layout;
    layout.title = title;
    layout.pageCount = g.pageCount;
    auto& steps = layout.steps;
    steps.reserve(4 + static_cast<size_t>(g.pageCount) * 9 +
                  static_cast<size_t>(gridRows) * CellStore::kColumns);

    steps.emplace_back(DrawLogo{Rect{kAllLogoLeft, kAllLogoTop, source.logoWidth + kAllLogoLeft,
                                     source.logoHeight - kAllLogoHeightCut}});
    steps.emplace_back(UseFont{allRowsPidCaptionFont()});
    steps.emplace_back(PrintText{kAllPidLeft, kAllPidTop, source.pidCaption});
    steps.emplace_back(UseMetricMapping{});

    const FontSpec titleFont = cellHeight(kTitleFace, kAllTitleHeight);
    const FontSpec textFont = cellHeight(kTitleFace, kAllTextHeight);
    const int titleX =
        g.pageWidth / 2 - measurer.widthTenthMm(titleFont, title) / 2 - kAllTitleShift;

    for (int p = 1; p <= g.pageCount; ++p) {
        steps.emplace_back(UseFont{titleFont});
        steps.emplace_back(PrintText{titleX, kAllTitleTop, title});
        steps.emplace_back(UsePenWidth{kAllRulePen});
        steps.emplace_back(DrawLine{0, -kAllTopMargin, g.pageWidth, -kAllTopMargin});
        steps.emplace_back(DrawLine{0, kAllLowerRuleAboveH - g.pageHeight, g.pageWidth,
                                    kAllLowerRuleAboveH - g.pageHeight});
        steps.emplace_back(UseFont{textFont});
        std::string footer =
            "Page : " + std::to_string(p) + "    Total:" + std::to_string(g.pageCount);
        const int footerX = g.pageWidth / 2 - measurer.widthTenthMm(textFont, footer) / 2;
        steps.emplace_back(PrintText{footerX, kAllFooterAboveH - g.pageHeight, std::move(footer)});
        if (!source.warning.empty())
            steps.emplace_back(PrintWarning{kAllFirstColumn, -kAllWarningTop, source.warning});

        int y = kAllRowsTop;
        for (int k = 1; k <= g.rowsPerPage; ++k) {
            const int row = (p - 1) * g.rowsPerPage + k - 1;
            if (row < gridRows) {
                for (int c = 0; c < CellStore::kColumns; ++c) {
                    steps.emplace_back(
                        PrintText{columnX[static_cast<size_t>(c)], -y, source.cells.cell(c, row)});
                }
            }
            y += kAllRowPitch;
        }
        if (p < g.pageCount)
            steps.emplace_back(StartPage{});
    }
    return layout;
}

PrintLayout keepPages(const PrintLayout& layout, const std::function<bool(int page)>& wanted) {
    PrintLayout kept{layout.title, 0, {}};
    kept.steps.reserve(layout.steps.size());
    int page = 1;
    bool keep = wanted(page);
    kept.pageCount = keep ? 1 : 0;
    for (const DrawStep& step : layout.steps) {
        if (std::holds_alternative<StartPage>(step)) {
            keep = wanted(++page);
            if (keep && kept.pageCount++ > 0)
                kept.steps.push_back(step);
        } else if (keep || std::holds_alternative<UseFont>(step) ||
                   std::holds_alternative<UsePenWidth>(step) ||
                   std::holds_alternative<UseMetricMapping>(step)) {
            kept.steps.push_back(step);
        }
    }
    if (kept.pageCount == 0) {
        throw PrintLayoutError("The chosen pages are not in \"" + layout.title + "\", which has " +
                               std::to_string(page) + (page == 1 ? " page." : " pages."));
    }
    return kept;
}

}  // namespace halvik
