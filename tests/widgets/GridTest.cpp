// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include "TestSupport.h"
#include "XServer.h"
#include "views/widgets/DataGrid.h"

namespace halvik {
namespace {

using test::fillReadings;
using test::readClipboard;
using test::RecordingMessages;

class GridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        grid.setUserMessages(&messages);
        grid.resize(348, 475);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    QString clipboardText() { return QString::fromUtf8(readClipboard("UTF8_STRING")); }

    // Centre of grid cell (column, row) in viewport coordinates (columns 1..3).
    QPoint cellCentre(int column, int row) {
        return grid.visualRect(grid.model()->index(row, column - 1)).center();
    }
    // A pixel of grid cell (column, row) clear of its text, in the grid's own coordinates.
    QPoint fillPixel(int column, int row) {
        if (column == 0) {
            QHeaderView* header = grid.verticalHeader();
            const int y = header->sectionViewportPosition(row) + DataGrid::kRowHeight / 2;
            return header->viewport()->mapTo(&grid, QPoint(1, y));
        }
        const QRect rect = grid.visualRect(grid.model()->index(row, column - 1));
        return grid.viewport()->mapTo(&grid, QPoint(rect.left() + 1, rect.center().y()));
    }
    // As 8-bit RGB: palette colours keep more precision than the screen shows.
    QRgb colourAt(const QImage& image, QPoint at) { return image.pixel(at) & 0xFFFFFFu; }
    static QRgb rgb(const QColor& colour) { return colour.rgb() & 0xFFFFFFu; }

    RecordingMessages messages;
    DataGrid grid;
};

TEST_F(GridTest, ShapeFollowsTheWindowLayout) {
    EXPECT_EQ(grid.gridColumnWidth(0), 55);
    EXPECT_EQ(grid.gridColumnWidth(1), 80);
    EXPECT_EQ(grid.gridColumnWidth(2), 65);
    EXPECT_EQ(grid.gridColumnWidth(3), 110);
    fillReadings(grid.cells(), 3);
    grid.refresh();
    EXPECT_EQ(grid.rowHeight(0), 24);
    EXPECT_EQ(grid.rowHeight(3), 24);
    EXPECT_EQ(grid.verticalHeader()->sectionSize(2), 24);
    EXPECT_EQ(grid.font().pixelSize(), 17);
    EXPECT_TRUE(grid.font().bold());
    EXPECT_FALSE(grid.horizontalHeader()->isVisible());
    EXPECT_EQ(grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // Start-up selection: the caption row.
    EXPECT_EQ(grid.selectedRowRange().top, 0);
    EXPECT_EQ(grid.selectedRowRange().bottom, 0);
}

TEST_F(GridTest, BeforeTheFirstDownloadOnlyTheCaptionRowShowsWithRedBelow) {
    fillReadings(grid.cells(), 0);
    grid.refresh();
    grid.selectRowRange(0, 0);
    const QImage image = grid.grab().toImage();
    const QRgb red = 0xFF0000u;
    const QPoint below = grid.viewport()->mapTo(&grid, QPoint(100, 200));
    const QPoint belowFixed = grid.verticalHeader()->mapTo(&grid, QPoint(20, 200));
    EXPECT_EQ(colourAt(image, below), red);
    EXPECT_EQ(colourAt(image, belowFixed), red);
    // The fixed column is never highlighted: the caption row's Points cell keeps its colour.
    EXPECT_EQ(colourAt(image, fillPixel(0, 0)), rgb(grid.rowColour(0)));
}

// Caption row button face, odd rows button shadow, even rows the scroll-bar shade, selected
// rows highlighted except in the fixed column, red where no cell is; the last row's colour
// follows the parity of the reading count.
TEST_F(GridTest, RowColoursSelectionAndTheRedArea) {
    const QPalette& palette = grid.palette();
    const QColor buttonFace = palette.color(QPalette::Button);
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor scrollBar = palette.color(QPalette::Midlight);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    ASSERT_NE(buttonFace, shadow);
    ASSERT_NE(shadow, scrollBar);
    ASSERT_NE(buttonFace, scrollBar);

    for (int readings : {5, 6}) {
        SCOPED_TRACE(readings);
        fillReadings(grid.cells(), readings);
        grid.refresh();
        grid.selectRowRange(2, 3);
        grid.clearFocus();
        const QImage image = grid.grab().toImage();
        for (int row = 0; row <= readings; ++row) {
            const QColor expected = row == 0 ? buttonFace : row % 2 == 1 ? shadow : scrollBar;
            const bool selected = row == 2 || row == 3;
            for (int column = 0; column < 4; ++column) {
                SCOPED_TRACE(QStringLiteral("row %1 column %2").arg(row).arg(column).toStdString());
                EXPECT_EQ(colourAt(image, fillPixel(column, row)),
                          rgb(selected && column > 0 ? highlight : expected));
            }
        }
        EXPECT_EQ(grid.rowColour(readings), readings % 2 == 0 ? scrollBar : shadow);
        const QRgb red = 0xFF0000u;
        const int lastBottom = grid.visualRect(grid.model()->index(readings, 0)).bottom();
        EXPECT_EQ(colourAt(image, grid.viewport()->mapTo(&grid, QPoint(10, lastBottom + 8))), red);
        EXPECT_EQ(colourAt(image, grid.verticalHeader()->mapTo(&grid, QPoint(10, lastBottom + 8))),
                  red);
        const int lastRight = grid.visualRect(grid.model()->index(0, 2)).right();
        EXPECT_EQ(colourAt(image, grid.viewport()->mapTo(&grid, QPoint(lastRight + 4, 5))), red);
    }
}

TEST_F(GridTest, ClickAndShiftClickSelectAContiguousRangeOfWholeRows) {
    fillReadings(grid.cells(), 10);
    grid.refresh();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(2, 2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(1, 5));
    EXPECT_EQ(grid.selectedRowRange().top, 2);
    EXPECT_EQ(grid.selectedRowRange().bottom, 5);
    // Every row of the range is selected in all three selectable columns.
    for (int row = 2; row <= 5; ++row)
        EXPECT_TRUE(grid.selectionModel()->isRowSelected(row, {})) << row;
    // Ctrl does not add a second range.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(3, 8));
    const DataGrid::RowRange range = grid.selectedRowRange();
    EXPECT_EQ(grid.selectionModel()->selectedRows().size(), range.bottom - range.top + 1);
}

struct CopyCase {
    const char* name;
    int top;
    int bottom;
    const char* expected;
};

// The selection copy: columns 0..3 of each selected row, TAB between fields, CR LF between rows,
// none after the last; cells keep their leading blanks; an empty cell still gets its TABs.
TEST_F(GridTest, SelectAndCopyPutsTheSelectedRowsOnTheClipboard) {
    fillReadings(grid.cells(), 4);
    grid.cells().setCell(2, 3, "");
    grid.refresh();
    const CopyCase cases[] = {
        {"captions and two rows", 0, 2,
         " Points\t       Date\t    Time\tTemperature (°C)\r\n"
         "1\t  07 JAN  14\t    00:00\t            0.1\r\n"
         "2\t  07 JAN  14\t    00:06\t            0.2"},
        {"one row", 4, 4, "4\t  07 JAN  14\t    00:18\t            0.4"},
        {"an empty cell", 3, 3, "3\t  07 JAN  14\t\t            0.3"},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        grid.selectRowRange(c.top, c.bottom);
        ASSERT_TRUE(grid.copySelection());
        EXPECT_EQ(clipboardText(), QString::fromUtf8(c.expected));
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(GridTest, CopyAllTakesEveryDataRowButNotTheCaptions) {
    fillReadings(grid.cells(), 3);
    grid.refresh();
    grid.selectRowRange(2, 2);
    ASSERT_TRUE(grid.copyAll(3));
    EXPECT_EQ(clipboardText(), QStringLiteral("1\t  07 JAN  14\t    00:00\t            0.1\r\n"
                                              "2\t  07 JAN  14\t    00:06\t            0.2\r\n"
                                              "3\t  07 JAN  14\t    00:12\t            0.3"));
    fillReadings(grid.cells(), 1440);
    grid.refresh();
    ASSERT_TRUE(grid.copyAll(1440));
    const QString all = clipboardText();
    EXPECT_EQ(all.count(QStringLiteral("\r\n")), 1439);
    EXPECT_TRUE(all.startsWith(QStringLiteral("1\t")));
    EXPECT_TRUE(all.endsWith(QStringLiteral("\t            144.0")));
    EXPECT_FALSE(all.contains(QStringLiteral("Points")));
}

TEST_F(GridTest, RightButtonCopiesTheSelectionAndSaysCopiedLeftButtonDoesNot) {
    fillReadings(grid.cells(), 5);
    grid.refresh();
    // At start-up the selection is the caption row.
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, cellCentre(2, 3));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(messages.shown[0].error);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Copied"));
    EXPECT_EQ(clipboardText(), QStringLiteral(" Points\t       Date\t    Time\tTemperature (°C)"));
    // The press did not move the selection.
    EXPECT_EQ(grid.selectedRowRange().top, 0);
    EXPECT_EQ(grid.selectedRowRange().bottom, 0);

    // A left press selects but neither copies nor says anything.
    ASSERT_TRUE(grid.copyAll(1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(1, 4));
    QTest::mouseClick(grid.viewport(), Qt::MiddleButton, {}, cellCentre(1, 2));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(clipboardText(), QStringLiteral("1\t  07 JAN  14\t    00:00\t            0.1"));
    EXPECT_EQ(grid.selectedRowRange().top, 4);

    // The fixed Points column is part of the grid too.
    const int y = grid.verticalHeader()->sectionViewportPosition(1) + 5;
    QTest::mouseClick(grid.verticalHeader()->viewport(), Qt::RightButton, {}, QPoint(10, y));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("Copied"));
    EXPECT_EQ(clipboardText(), QStringLiteral("4\t  07 JAN  14\t    00:18\t            0.4"));
    EXPECT_EQ(grid.selectedRowRange().top, 4);

    // Right presses on the cell last pressed with the left button, a double one included, leave
    // a selection made since then alone.
    grid.selectRowRange(1, 2);
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, cellCentre(1, 4));
    // Through the window system: press, release, press + double click, release.
    const QPoint inWindow = grid.viewport()->mapTo(grid.window(), cellCentre(1, 4));
    QTest::mouseDClick(grid.window()->windowHandle(), Qt::RightButton, {}, inWindow);
    EXPECT_EQ(grid.selectedRowRange().top, 1);
    EXPECT_EQ(grid.selectedRowRange().bottom, 2);
    EXPECT_EQ(messages.shown.size(), 5u);  // one "Copied" per press
}

TEST_F(GridTest, ARefusedClipboardIsReportedAndNothingIsClaimed) {
    test::RefusingClipboard refusing;
    grid.setClipboardAccess(&refusing);
    fillReadings(grid.cells(), 2);
    grid.refresh();
    EXPECT_FALSE(grid.copyAll(2));
    EXPECT_FALSE(grid.copySelection());
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, cellCentre(1, 1));
    ASSERT_EQ(messages.shown.size(), 3u);
    for (const auto& message : messages.shown) {
        EXPECT_TRUE(message.error);
        EXPECT_EQ(message.text, QStringLiteral("Cannot open clipboard: held by xyz"));
    }
}

TEST_F(GridTest, CtrlCCopiesTheSelectionWithoutAMessage) {
    fillReadings(grid.cells(), 3);
    grid.refresh();
    grid.selectRowRange(1, 2);
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboardText(), QStringLiteral("1\t  07 JAN  14\t    00:00\t            0.1\r\n"
                                              "2\t  07 JAN  14\t    00:06\t            0.2"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(GridTest, RefreshFollowsTheStoreAndKeepsTheSelection) {
    EXPECT_EQ(grid.model()->rowCount(), 1);
    // Cells written beyond the row count show once the row count includes them.
    fillReadings(grid.cells(), 20);
    grid.cells().setRowCount(1);
    grid.refresh();
    EXPECT_EQ(grid.model()->rowCount(), 1);
    grid.cells().setRowCount(21);
    grid.refresh();
    EXPECT_EQ(grid.model()->rowCount(), 21);
    EXPECT_EQ(grid.model()->index(20, 2).data().toString(), QStringLiteral("            2.0"));
    EXPECT_EQ(grid.model()->headerData(20, Qt::Vertical).toString(), QStringLiteral("20"));
    grid.selectRowRange(3, 6);
    grid.cells().setCell(3, 4, "            9.9");
    grid.refresh();
    EXPECT_EQ(grid.model()->index(4, 2).data().toString(), QStringLiteral("            9.9"));
    EXPECT_EQ(grid.selectedRowRange().top, 3);
    EXPECT_EQ(grid.selectedRowRange().bottom, 6);
    // A smaller download leaves the selection inside the rows that remain.
    fillReadings(grid.cells(), 4);
    grid.refresh();
    EXPECT_EQ(grid.model()->rowCount(), 5);
    EXPECT_LE(grid.selectedRowRange().bottom, 4);
    EXPECT_TRUE(grid.selectionModel()->hasSelection());
}

TEST_F(GridTest, TheFixedColumnStaysWhenTheGridScrolls) {
    fillReadings(grid.cells(), 1000);
    grid.refresh();
    const int headerX = grid.verticalHeader()->mapTo(&grid, QPoint(0, 0)).x();
    QApplication::processEvents();
    grid.verticalScrollBar()->setValue(500);
    QApplication::processEvents();
    EXPECT_EQ(grid.verticalHeader()->mapTo(&grid, QPoint(0, 0)).x(), headerX);
    const int firstShown = grid.rowAt(0);
    EXPECT_GT(firstShown, 400);
    EXPECT_EQ(grid.verticalHeader()->logicalIndexAt(0), firstShown);
}

// A text wider than its cell is drawn narrower, whole, inside the cell: its right edge shows
// the row's colour, not a letter cut in half. A text that fits is drawn as it is.
TEST_F(GridTest, AWideTextIsDrawnNarrowerNotCutOff) {
    fillReadings(grid.cells(), 2);
    grid.cells().setCell(2, 1, "    02:30 WW");
    grid.refresh();
    grid.selectRowRange(0, 0);
    const QImage image = grid.grab().toImage();
    const QRect cell = grid.visualRect(grid.model()->index(1, 1));
    const QRgb fill = rgb(grid.rowColour(1));
    int inkAtEdge = 0, ink = 0;
    for (int y = cell.top() + 2; y < cell.bottom() - 2; ++y) {
        for (int x = cell.left() + 2; x <= cell.right(); ++x) {
            const bool inked = colourAt(image, grid.viewport()->mapTo(&grid, QPoint(x, y))) != fill;
            ink += inked ? 1 : 0;
            inkAtEdge += inked && x >= cell.right() - 1 ? 1 : 0;
        }
    }
    EXPECT_GT(ink, 50);  // the text is there
    EXPECT_EQ(inkAtEdge, 0);
}

}  // namespace
}  // namespace halvik
