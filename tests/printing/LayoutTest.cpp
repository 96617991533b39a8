// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "LayoutSteps.h"
#include "TestGrid.h"
#include "printing/TableLayouts.h"
#include "views/ChangedRecord.h"

namespace halvik {
namespace {

using testing::place;
using testing::Placed;
using testing::PlacedText;

const std::string kTemperatureLead(12, ' ');

CellStore filledGrid(int readings) {
    return testing::downloadedGrid(readings);
}

PrinterMetrics a4At600(int printableHeight = 6851) {
    return PrinterMetrics{4961, 7016, 4795, printableHeight, 600, 600};
}

// Text widths of a made-up printer font: 20 units per character at height 48, 15 at height 36.
class FixedMeasurer : public TextMeasurer {
  public:
    int widthTenthMm(const FontSpec& font, const std::string& text) const override {
        return static_cast<int>(text.size()) * (font.size == 48 ? 20 : 15);
    }
};

const FontSpec kTitleFont{"Sakkal majalla", 12, FontSpec::Size::Points, true};
const FontSpec kPidFont{"Times New Roman", 12, FontSpec::Size::Points, true};
const FontSpec kCellFont{"Times New Roman", 7, FontSpec::Size::Points, false};

struct Expected {
    int x;
    int y;
    std::string text;
    FontSpec font;
};

void expectTexts(const std::vector<PlacedText>& got, const std::vector<Expected>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("text " + std::to_string(i) + " \"" + want[i].text + "\"");
        EXPECT_EQ(got[i].x, want[i].x);
        EXPECT_EQ(got[i].y, want[i].y);
        EXPECT_EQ(got[i].text, want[i].text);
        EXPECT_EQ(got[i].font, want[i].font);
    }
}

// ---- Select & Print ----

TEST(SelectedRowsLayout, OneRowPageToTheUnit) {
    const CellStore cells = filledGrid(10);
    const PrintLayout layout =
        layoutSelectedRows({cells, "( PID :12 34 56 78 9A)"}, kSelectedRowsTitle, 5, 5, a4At600());
    const Placed p = place(layout);

    EXPECT_EQ(layout.title, "SELECTED TEMPERATURE DETAILS");
    EXPECT_EQ(layout.pageCount, 1);
    EXPECT_EQ(p.pages, 1);
    ASSERT_EQ(p.logos.size(), 1u);
    EXPECT_EQ(p.logos[0].rect, (Rect{3000, 50, 3597, 526}));
    EXPECT_TRUE(p.lines.empty());

    const std::string lead = kTemperatureLead;
    expectTexts(p.texts, {
                             {150, 550, "SELECTED TEMPERATURE DETAILS", kTitleFont},
                             {2050, 550, "( PID :12 34 56 78 9A)", kPidFont},
                             {150, 750, " Points", kCellFont},
                             {400, 750, "       Date", kCellFont},
                             {870, 750, "    Time", kCellFont},
                             {1250, 750, "Temperature (°C)", kCellFont},
                             {200, 900, "5", kCellFont},
                             {475, 900, "D5", kCellFont},
                             {875, 900, "T5", kCellFont},
                             {1200, 900, lead + "5.5", kCellFont},
                         });
    // The band of the row: 850 to 980, each cell clipped short of its column's right edge.
    const std::vector<Rect> clips{
        {150, 850, 395, 980}, {425, 850, 795, 980}, {825, 850, 1120, 980}, {1150, 850, 1670, 980}};
    for (size_t c = 0; c < 4; ++c) {
        EXPECT_TRUE(p.texts[6 + c].clipped);
        EXPECT_EQ(p.texts[6 + c].clip, clips[c]) << "column " << c;
        EXPECT_FALSE(p.texts[c].clipped);
    }
}

TEST(SelectedRowsLayout, CaptionRowSelectedPrintsTwiceAndRowsAre130Apart) {
    const CellStore cells = filledGrid(10);
    const Placed p = place(layoutSelectedRows({cells, "( PID :1)"}, "T", 0, 3, a4At600()));
    std::vector<std::pair<int, std::string>> column0;
    for (const PlacedText& t : p.texts) {
        if (t.x == 150 || t.x == 200)
            column0.emplace_back(t.y, t.text);
    }
    const std::vector<std::pair<int, std::string>> want{
        {550, "T"}, {750, " Points"}, {900, " Points"}, {1030, "1"}, {1160, "2"}, {1290, "3"}};
    EXPECT_EQ(column0, want);
}

TEST(SelectedRowsLayout, ColumnsFollowTheGridWidths) {
    const CellStore cells = filledGrid(3);
    TableSource source{cells, "pid", {60, 60, 60, 60}, 100, 50};
    const Placed p = place(layoutSelectedRows(source, "T", 1, 1, a4At600()));
    ASSERT_EQ(p.texts.size(), 10u);
    const std::vector<int> x0{150, 450, 750, 1050};
    for (size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(p.texts[6 + c].x, x0[c] + 50);
        EXPECT_EQ(p.texts[6 + c].clip.left, x0[c]);
        EXPECT_EQ(p.texts[6 + c].clip.right, x0[c] + 300 - 30);
    }
    EXPECT_EQ(p.logos[0].rect, (Rect{3000, 50, 3300, 200}));
}

// A selection longer than the page continues on further pages instead of being cut off.
TEST(SelectedRowsLayout, RowsBelowThePageContinueOnNextPages) {
    const CellStore cells = filledGrid(120);
    const int height = 6851;  // A4 at 600 dpi less the printer's margins: 46 rows per page
    const PrintLayout layout =
        layoutSelectedRows({cells, "( PID :1)"}, kSelectedRowsTitle, 11, 110, a4At600(height));
    const Placed p = place(layout);
    EXPECT_EQ(layout.pageCount, 3);
    EXPECT_EQ(p.pages, 3);
    ASSERT_EQ(p.logos.size(), 1u);
    EXPECT_EQ(p.logos[0].page, 1);

    std::map<int, int> rowsOnPage;
    std::map<int, int> headingsOnPage;
    int expectRow = 11;
    for (const PlacedText& t : p.texts) {
        if (!t.clipped) {
            if (t.y == 550 || t.y == 750)
                ++headingsOnPage[t.page];
            continue;
        }
        EXPECT_LE(t.clip.bottom, height) << t.text;
        if (t.x != 200)
            continue;
        EXPECT_EQ(t.text, std::to_string(expectRow));
        const int firstOnPage = t.page == 1 ? 11 : t.page == 2 ? 57 : 103;
        EXPECT_EQ(t.y, 900 + 130 * (expectRow - firstOnPage));
        ++rowsOnPage[t.page];
        ++expectRow;
    }
    EXPECT_EQ(expectRow, 111);  // every selected row, once, in order
    EXPECT_EQ(rowsOnPage, (std::map<int, int>{{1, 46}, {2, 46}, {3, 8}}));
    // Title, PID caption and the four captions on every page.
    EXPECT_EQ(headingsOnPage, (std::map<int, int>{{1, 6}, {2, 6}, {3, 6}}));
}

TEST(SelectedRowsLayout, RowsPerPageFromThePrintableHeight) {
    const std::vector<std::pair<int, int>> cases{{979, 0},  {980, 1},   {1109, 1},
                                                 {1110, 2}, {6851, 46}, {3300, 18}};
    for (const auto& [height, rows] : cases) {
        EXPECT_EQ(selectedRowsPerPage(height), rows) << "height " << height;
    }
    const CellStore cells = filledGrid(3);
    EXPECT_THROW(layoutSelectedRows({cells, "p"}, "T", 1, 1, a4At600(979)), PrintLayoutError);
}

// ---- Print All ----

TEST(AllRowsLayout, PageGeometryFromPrinterMetrics) {
    struct Case {
        PrinterMetrics metrics;
        int gridRows;
        AllRowsGeometry want;
    };
    const std::vector<Case> cases{
        {{4961, 7016, 0, 0, 600, 600}, 1001, {2100, 2840, 71, 15}},
        {{4958, 7017, 0, 0, 600, 600}, 71, {2090, 2840, 71, 1}},
        {{4958, 7017, 0, 0, 600, 600}, 72, {2090, 2840, 71, 2}},
        {{2550, 3300, 0, 0, 300, 300}, 14401, {2150, 2670, 66, 219}},
        {{9922, 14032, 0, 0, 1200, 1200}, 1, {2100, 2840, 71, 1}},
        {{600, 791, 0, 0, 600, 600}, 2, {250, 320, 1, 2}},
    };
    for (const Case& c : cases) {
        const AllRowsGeometry g = allRowsGeometry(c.metrics, c.gridRows);
        SCOPED_TRACE(std::to_string(c.metrics.physicalWidth) + "x" +
                     std::to_string(c.metrics.physicalHeight));
        EXPECT_EQ(g.pageWidth, c.want.pageWidth);
        EXPECT_EQ(g.pageHeight, c.want.pageHeight);
        EXPECT_EQ(g.rowsPerPage, c.want.rowsPerPage);
        EXPECT_EQ(g.pageCount, c.want.pageCount);
    }
    // H below 316 holds no row; neither does a printer without a resolution.
    EXPECT_THROW(allRowsGeometry({600, 766, 0, 0, 600, 600}, 2), PrintLayoutError);
    EXPECT_THROW(allRowsGeometry({600, 7000, 0, 0, 0, 600}, 2), PrintLayoutError);
}

TEST(AllRowsLayout, WorkedExampleThousandReadings) {
    const CellStore cells = filledGrid(1000);
    const PrintLayout layout =
        layoutAllRows({cells, "( PID :12 34 56 78 9A)"}, kAllRowsTitle, a4At600(), FixedMeasurer());
    const Placed p = place(layout);
    EXPECT_EQ(layout.title, "TEMPERATURE DETAILS");
    EXPECT_EQ(layout.pageCount, 15);
    EXPECT_EQ(p.pages, 15);

    // Page 1 in device pixels: logo and PID caption only.
    ASSERT_EQ(p.logos.size(), 1u);
    EXPECT_EQ(p.logos[0].rect, (Rect{2800, 50, 3197, 326}));
    EXPECT_FALSE(p.logos[0].metric);
    EXPECT_EQ(p.texts[0].text, "( PID :12 34 56 78 9A)");
    EXPECT_EQ(p.texts[0].x, 1897);
    EXPECT_EQ(p.texts[0].y, 150);
    EXPECT_FALSE(p.texts[0].metric);
    EXPECT_EQ(p.texts[0].font, allRowsPidCaptionFont());

    const FontSpec titleFont{"Sakkal majalla", 48, FontSpec::Size::CellHeight, false};
    const FontSpec rowFont{"Sakkal majalla", 36, FontSpec::Size::CellHeight, false};
    const int titleX = 1050 - (19 * 20) / 2 - 100;  // 19 characters of 20 units

    std::map<int, std::vector<PlacedText>> rowTexts;  // page -> cell texts
    std::map<int, int> titles, footers;
    for (size_t i = 1; i < p.texts.size(); ++i) {
        const PlacedText& t = p.texts[i];
        ASSERT_TRUE(t.metric);
        if (t.text == "TEMPERATURE DETAILS") {
            EXPECT_EQ(t.x, titleX);
            EXPECT_EQ(t.y, -20);
            EXPECT_EQ(t.font, titleFont);
            ++titles[t.page];
        } else if (t.text.rfind("Page : ", 0) == 0) {
            const std::string want = "Page : " + std::to_string(t.page) + "    Total:15";
            EXPECT_EQ(t.text, want);
            EXPECT_EQ(t.x, 1050 - static_cast<int>(want.size()) * 15 / 2);
            EXPECT_EQ(t.y, -2760);
            EXPECT_EQ(t.font, rowFont);
            ++footers[t.page];
        } else {
            EXPECT_EQ(t.font, rowFont);
            rowTexts[t.page].push_back(t);
        }
    }
    for (int page = 1; page <= 15; ++page) {
        EXPECT_EQ(titles[page], 1) << page;
        EXPECT_EQ(footers[page], 1) << page;
    }
    ASSERT_EQ(p.lines.size(), 30u);
    for (size_t i = 0; i < p.lines.size(); ++i) {
        const auto& l = p.lines[i];
        EXPECT_EQ(l.page, static_cast<int>(i / 2) + 1);
        EXPECT_EQ(l.penWidth, 3);
        const int y = i % 2 == 0 ? -170 : -2755;
        EXPECT_EQ((std::vector<int>{l.line.x0, l.line.y0, l.line.x1, l.line.y1}),
                  (std::vector<int>{0, y, 2100, y}));
    }

    // The caption row opens page 1; pages hold 71 rows, the 15th the last 7.
    const std::vector<int> columnX{100, 265, 505, 700};
    int row = 0;
    for (int page = 1; page <= 15; ++page) {
        const auto& texts = rowTexts[page];
        ASSERT_EQ(texts.size(), (page < 15 ? 71u : 7u) * 4) << "page " << page;
        for (size_t i = 0; i < texts.size(); ++i, row += (i % 4 == 0)) {
            const int k = static_cast<int>(i / 4);
            EXPECT_EQ(texts[i].x, columnX[i % 4]);
            EXPECT_EQ(texts[i].y, -(180 + 36 * k));
            EXPECT_EQ(texts[i].text, cells.cell(static_cast<int>(i % 4), row));
        }
    }
    EXPECT_EQ(row, 1001);
    EXPECT_EQ(rowTexts[1][0].text, " Points");
    EXPECT_EQ(rowTexts[1][3].text, "Temperature (°C)");
    EXPECT_EQ(rowTexts[15].back().text, cells.cell(3, 1000));
}

TEST(AllRowsLayout, ExactlyRRowsIsOnePageAndOneMoreStartsASecond) {
    for (const int gridRows : {71, 72}) {
        SCOPED_TRACE(gridRows);
        const CellStore cells = filledGrid(gridRows - 1);
        const PrintLayout layout =
            layoutAllRows({cells, "( PID :1)"}, kAllRowsTitle, a4At600(), FixedMeasurer());
        const Placed p = place(layout);
        const int pages = gridRows == 71 ? 1 : 2;
        EXPECT_EQ(layout.pageCount, pages);
        EXPECT_EQ(p.pages, pages);
        std::vector<PlacedText> lastPageRows;
        std::string lastFooter;
        for (const PlacedText& t : p.texts) {
            if (t.page != pages)
                continue;
            if (t.text.rfind("Page : ", 0) == 0)
                lastFooter = t.text;
            if (t.x == 100 && t.y <= -180)
                lastPageRows.push_back(t);
        }
        // The last page's footer carries the same number twice.
        EXPECT_EQ(lastFooter,
                  "Page : " + std::to_string(pages) + "    Total:" + std::to_string(pages));
        if (pages == 2) {
            ASSERT_EQ(lastPageRows.size(), 1u);
            EXPECT_EQ(lastPageRows[0].text, "71");  // the last reading alone
            EXPECT_EQ(lastPageRows[0].y, -180);
        } else {
            EXPECT_EQ(lastPageRows.size(), 71u);
        }
    }
}

// ---- A page range chosen in the print dialog ----

std::vector<PlacedText> textsOnPage(const Placed& placed, int page) {
    std::vector<PlacedText> texts;
    for (PlacedText t : placed.texts) {
        if (t.page == page) {
            t.page = 0;
            texts.push_back(t);
        }
    }
    return texts;
}

TEST(KeepPages, TheChosenPagesPrintAsTheyWouldInTheWholePrintout) {
    const CellStore cells = filledGrid(400);  // 401 grid rows, 71 a page: 6 pages
    const PrintLayout whole = layoutAllRows({cells, "( PID :1)", {55, 80, 65, 110}, 397, 376},
                                            kAllRowsTitle, a4At600(), FixedMeasurer());
    ASSERT_EQ(whole.pageCount, 6);
    const Placed all = place(whole);
    struct Case {
        int from;
        int to;
        std::vector<int> pages;  // the pages of the whole printout that come out, in order
    };
    for (const Case& c : {Case{2, 3, {2, 3}}, Case{1, 1, {1}}, Case{5, 9, {5, 6}}, Case{6, 6, {6}},
                          Case{1, 6, {1, 2, 3, 4, 5, 6}}}) {
        SCOPED_TRACE(std::to_string(c.from) + "-" + std::to_string(c.to));
        const PrintLayout kept =
            keepPages(whole, [&](int page) { return page >= c.from && page <= c.to; });
        EXPECT_EQ(kept.title, whole.title);
        EXPECT_EQ(kept.pageCount, static_cast<int>(c.pages.size()));
        const Placed got = place(kept);
        EXPECT_EQ(got.pages, kept.pageCount);
        for (std::size_t k = 0; k < c.pages.size(); ++k) {
            SCOPED_TRACE("page " + std::to_string(c.pages[k]));
            const std::vector<PlacedText> want = textsOnPage(all, c.pages[k]);
            const std::vector<PlacedText> have = textsOnPage(got, static_cast<int>(k) + 1);
            ASSERT_EQ(have.size(), want.size());
            for (std::size_t i = 0; i < want.size(); ++i) {
                EXPECT_EQ(have[i].text, want[i].text);
                EXPECT_EQ(have[i].x, want[i].x);
                EXPECT_EQ(have[i].y, want[i].y);
                EXPECT_EQ(have[i].font, want[i].font);
                EXPECT_EQ(have[i].metric, want[i].metric);
            }
        }
        // The logo is on page 1 of the printout only.
        const bool firstKept = c.pages.front() == 1;
        EXPECT_EQ(got.logos.size(), firstKept ? 1u : 0u);
    }
}

TEST(KeepPages, ARangeOutsideThePrintoutIsAnError) {
    const CellStore cells = filledGrid(10);
    const PrintLayout whole =
        layoutSelectedRows({cells, "( PID :1)"}, kSelectedRowsTitle, 1, 10, a4At600());
    ASSERT_EQ(whole.pageCount, 1);
    try {
        keepPages(whole, [](int page) { return page >= 2 && page <= 3; });
        FAIL() << "no error";
    } catch (const PrintLayoutError& e) {
        EXPECT_STREQ(
            e.what(),
            "The chosen pages are not in \"SELECTED TEMPERATURE DETAILS\", which has 1 page.");
    }
}

// A record changed after its download: every page of both printouts, and of a page range of
// them, carries the warning once, in red, between the top of the page and the table, and every
// other text, line and logo stays where it is on the unmarked printout.
TEST(ChangedRecordLayouts, EveryPageCarriesTheWarningAndNothingElseMoves) {
    const CellStore cells = filledGrid(400);
    struct Case {
        const char* name;
        std::function<PrintLayout(const TableSource&)> make;
        bool metric;   // the warning's y runs up from the page's top edge
        int titleTop;  // and must stay clear of the title and the table's top
        int tableTop;
    };
    const Case cases[] = {
        {"Select & Print",
         [](const TableSource& s) {
             return layoutSelectedRows(s, kSelectedRowsTitle, 1, 200, a4At600());
         },
         false, 550, 750},
        {"Print All",
         [](const TableSource& s) {
             return layoutAllRows(s, kAllRowsTitle, a4At600(), FixedMeasurer());
         },
         true, -20 - 48, -170},
        {"Print All, pages 2 and 3",
         [](const TableSource& s) {
             return keepPages(layoutAllRows(s, kAllRowsTitle, a4At600(), FixedMeasurer()),
                              [](int page) { return page == 2 || page == 3; });
         },
         true, -20 - 48, -170},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TableSource plain{cells, "( PID :12 34 56 78 9A)"};
        TableSource marked = plain;
        marked.warning = kChangedRecordWarning;
        const Placed without = place(c.make(plain));
        const Placed with = place(c.make(marked));
        ASSERT_GT(with.pages, 1);
        ASSERT_EQ(with.pages, without.pages);

        std::vector<PlacedText> rest;
        std::map<int, int> warningsOnPage;
        for (const PlacedText& t : with.texts) {
            if (!t.warning) {
                rest.push_back(t);
                continue;
            }
            ++warningsOnPage[t.page];
            EXPECT_EQ(t.text, kChangedRecordWarning);
            EXPECT_EQ(t.metric, c.metric);
            const int height = c.metric ? t.font.size : 100;  // 12 points at 600 dpi
            if (c.metric) {
                EXPECT_LT(t.y, c.titleTop);
                EXPECT_GT(t.y - height, c.tableTop);
                // Clear of page 1's PID caption too: 10 points down from 150 pixels.
                EXPECT_LT(t.y, -(150 * 254 / 600) - 36);
            } else {
                EXPECT_GE(t.y, 0);
                EXPECT_LE(t.y + height, c.titleTop);
            }
        }
        for (int page = 1; page <= with.pages; ++page)
            EXPECT_EQ(warningsOnPage[page], 1) << "page " << page;

        ASSERT_EQ(rest.size(), without.texts.size());
        for (std::size_t i = 0; i < rest.size(); ++i) {
            SCOPED_TRACE(rest[i].text);
            EXPECT_EQ(rest[i].page, without.texts[i].page);
            EXPECT_EQ(rest[i].x, without.texts[i].x);
            EXPECT_EQ(rest[i].y, without.texts[i].y);
            EXPECT_EQ(rest[i].text, without.texts[i].text);
            EXPECT_EQ(rest[i].font, without.texts[i].font);
        }
        EXPECT_EQ(with.lines.size(), without.lines.size());
        EXPECT_EQ(with.logos.size(), without.logos.size());
    }
}

}  // namespace
}  // namespace halvik
