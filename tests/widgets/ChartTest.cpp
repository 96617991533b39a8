// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QTest>
#include <QValueAxis>
#include <cstdio>

#include "TestSupport.h"
#include "XServer.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik {
namespace {

// Readings at six-minute steps from 1 January, 00:00, labelled like the parse labels them.
std::vector<ChartPoint> readings(int count, double base = 4.0) {
    std::vector<ChartPoint> points;
    for (int i = 0; i < count; ++i) {
        const int minutes = i * 6;
        char label[32];
        std::snprintf(label, sizeof label, "%02dJan14  %02d:%02d", 1 + minutes / 1440,
                      (minutes / 60) % 24, minutes % 60);
        points.push_back({base + (i % 50) / 10.0, label});
    }
    return points;
}

void expectRange(AxisRange actual, double min, double max, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.min, min, tolerance);
    EXPECT_NEAR(actual.max, max, tolerance);
}

class ChartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        chart.resize(850, 401);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        QApplication::processEvents();
    }

    // A point of the plot area, as fractions of its width and height, in viewport pixels.
    QPoint inPlot(double fx, double fy) {
        const QRectF plot = chart.chart()->plotArea();
        const QPointF inChart(plot.left() + fx * plot.width(), plot.top() + fy * plot.height());
        return chart.mapFromScene(chart.chart()->mapToScene(inChart));
    }

    TemperatureChart chart;
};

TEST_F(ChartTest, TheUnitSwitchSetsTheLeftAxisAndItsTitle) {
    const QValueAxis* left = chart.leftAxis();
    expectRange(chart.yRange(), -20, 70);
    EXPECT_EQ(left->titleText(), QStringLiteral("Temperature (°C)"));
    EXPECT_EQ(left->titleBrush().color(), QColor(0, 0, 255));
    EXPECT_TRUE(left->titleFont().bold());
    EXPECT_EQ(left->titleFont().letterSpacing(), 3);
    EXPECT_EQ(chart.chart()->title(), QStringLiteral("Temperature Chart"));
    EXPECT_FALSE(chart.chart()->legend()->isVisible());
    EXPECT_EQ(chart.viewport()->cursor().shape(), Qt::PointingHandCursor);

    chart.setUnit(TemperatureUnit::Fahrenheit);
    expectRange(chart.yRange(), -4, 158);
    EXPECT_EQ(left->titleText(), QStringLiteral("Temperature (°F)"));
    chart.setUnit(TemperatureUnit::Celsius);
    expectRange(chart.yRange(), -20, 70);
    EXPECT_EQ(left->titleText(), QStringLiteral("Temperature (°C)"));
    EXPECT_TRUE(left->titleFont().bold());
    EXPECT_FALSE(chart.isZoomed());
}

TEST_F(ChartTest, EachDownloadReplacesTheReadingsAndTheZeroLine) {
    EXPECT_EQ(chart.readingSeries(), nullptr);
    std::vector<ChartPoint> first = readings(10);
    first[3].value = 24.3;
    chart.setReadings(first);
    ASSERT_NE(chart.readingSeries(), nullptr);
    const QLineSeries* series = chart.readingSeries();
    ASSERT_EQ(series->count(), 10);
    ASSERT_EQ(chart.series2()->count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(series->at(i).x(), i);
        EXPECT_EQ(series->at(i).y(), first[static_cast<size_t>(i)].value);
        EXPECT_EQ(chart.series2()->at(i), QPointF(i, 0));
    }
    EXPECT_EQ(chart.pointLabel(0), QStringLiteral("01Jan14  00:00"));
    EXPECT_EQ(chart.pointLabel(9), QStringLiteral("01Jan14  00:54"));
    EXPECT_EQ(chart.pointLabel(10), QString());
    expectRange(chart.xRange(), 0, 9);
    expectRange(chart.yRange(), -20, 70);  // every reading fits the fixed scale
    EXPECT_EQ(chart.series2()->pen().color(), QColor(Qt::black));
    EXPECT_EQ(chart.series2()->pen().width(), 2);

    // Each later download (after a failed one, another card) shows only its own readings,
    // over the whole width, and undoes any zoom of the one before.
    struct Next {
        int count;
        double base;
        AxisRange x;
        AxisRange y;
    };
    const Next next[] = {
        {5, -25.0, {0, 4}, {-30, 70}},    // a freezer: widened downwards
        {400, 4.0, {0, 399}, {-20, 70}},  // back to the fixed scale
        {1, 90.0, {0, 1}, {-20, 90}},
        {0, 0.0, {0, 1}, {-20, 70}},  // a parse that stopped at its first reading
    };
    for (const Next& n : next) {
        chart.zoomIn();
        chart.setReadings(readings(n.count, n.base));
        SCOPED_TRACE(n.count);
        EXPECT_FALSE(chart.isZoomed());
        EXPECT_EQ(chart.readingSeries(), series);
        EXPECT_EQ(chart.readingSeries()->count(), n.count);
        EXPECT_EQ(chart.series2()->count(), n.count);
        expectRange(chart.xRange(), n.x.min, n.x.max);
        expectRange(chart.yRange(), n.y.min, n.y.max);
        EXPECT_EQ(chart.pointLabel(n.count), QString());
        if (n.count > 0) {
            EXPECT_EQ(chart.series2()->at(n.count - 1), QPointF(n.count - 1, 0));
            EXPECT_EQ(chart.readingSeries()->at(0).y(), n.base);
        }
    }
    EXPECT_EQ(chart.chart()->series().size(), 2);
}

TEST_F(ChartTest, AWidenedScaleIsTheFullViewForZoomUndoAndTheUnitSwitch) {
    std::vector<ChartPoint> freezer = readings(100, -25.0);  // -25.0 .. -20.1
    freezer[7].value = 71.0;
    chart.setReadings(freezer);
    expectRange(chart.yRange(), -30, 80);
    EXPECT_EQ(chart.fullYRange(), (AxisRange{-30, 80}));
    chart.zoomIn();
    expectRange(chart.yRange(), -30 + 0.04 * 110, 80 - 0.04 * 110);
    chart.undoZoom();
    expectRange(chart.yRange(), -30, 80);
    // The switch works out the other unit's full view for the same (unconverted) values.
    chart.setUnit(TemperatureUnit::Fahrenheit);
    expectRange(chart.yRange(), -30, 158);
    chart.setUnit(TemperatureUnit::Celsius);
    expectRange(chart.yRange(), -30, 80);

    // The rendered chart draws the readings below the old -20 line.
    const QImage image = chart.renderImage();
    const QRectF plot = chart.chart()->plotArea();
    const QPointF minus20 = chart.chart()->mapToPosition(QPointF(50, -20), chart.series2());
    int below = 0;
    for (int y = static_cast<int>(minus20.y()) + 2; y < static_cast<int>(plot.bottom()); ++y) {
        for (int x = static_cast<int>(plot.left()) + 1; x < static_cast<int>(plot.right()); ++x) {
            // The background and the grid are greys; the readings series is coloured.
            const QColor c = image.pixelColor(x, y);
            if (c.saturation() > 80)
                ++below;
        }
    }
    EXPECT_GT(below, 50) << "no series pixels below -20";
}

TEST_F(ChartTest, ZoomButtonsMoveEachEndByFourPercentAndUndoRestores) {
    chart.setReadings(readings(101));
    expectRange(chart.xRange(), 0, 100);

    chart.undoZoom();  // nothing to undo
    expectRange(chart.xRange(), 0, 100);
    expectRange(chart.yRange(), -20, 70);

    chart.zoomIn();
    EXPECT_TRUE(chart.isZoomed());
    expectRange(chart.xRange(), 4, 96);
    expectRange(chart.yRange(), -16.4, 66.4);
    chart.zoomIn();
    expectRange(chart.xRange(), 4 + 0.04 * 92, 96 - 0.04 * 92);
    const AxisRange y = chart.yRange();
    chart.zoomOut();
    const double span = y.max - y.min;
    expectRange(chart.yRange(), y.min - 0.04 * span, y.max + 0.04 * span);
    chart.undoZoom();
    EXPECT_FALSE(chart.isZoomed());
    expectRange(chart.xRange(), 0, 100);
    expectRange(chart.yRange(), -20, 70);

    chart.zoomOut();
    expectRange(chart.xRange(), -4, 104);
    expectRange(chart.yRange(), -23.6, 73.6);
    chart.undoZoom();
    expectRange(chart.yRange(), -20, 70);

    chart.setUnit(TemperatureUnit::Fahrenheit);
    chart.zoomIn();
    chart.zoomIn();
    chart.zoomOut();
    chart.undoZoom();
    expectRange(chart.yRange(), -4, 158);
}

TEST_F(ChartTest, LeftDragScrollsAndUndoReturnsEvenWithoutAZoom) {
    chart.setReadings(readings(200));
    const QRectF plot = chart.chart()->plotArea();
    const QPoint from = inPlot(0.5, 0.5);
    QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(chart.viewport(), from + QPoint(50, 20));
    QTest::mouseMove(chart.viewport(), from + QPoint(100, 40));
    QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, from + QPoint(100, 40));
    // Dragging right shows earlier readings, dragging down higher temperatures; spans stay.
    const double dx = 100 * 199 / plot.width();
    const double dy = 40 * 90 / plot.height();
    expectRange(chart.xRange(), -dx, 199 - dx, 1e-6);
    expectRange(chart.yRange(), -20 + dy, 70 + dy, 1e-6);
    EXPECT_TRUE(chart.isZoomed());

    chart.undoZoom();
    expectRange(chart.xRange(), 0, 199);
    expectRange(chart.yRange(), -20, 70);

    // Scroll, then zoom: undo goes back to before the scroll.
    QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(chart.viewport(), from + QPoint(-80, 0));
    QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, from + QPoint(-80, 0));
    EXPECT_GT(chart.xRange().min, 0);
    chart.zoomIn();
    chart.undoZoom();
    expectRange(chart.xRange(), 0, 199);
    expectRange(chart.yRange(), -20, 70);

    // A click without a move is not a scroll.
    QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, from);
    EXPECT_FALSE(chart.isZoomed());
}

TEST_F(ChartTest, RightDragZoomsToTheDraggedRectangle) {
    chart.setReadings(readings(401));
    const QPoint from = inPlot(0.25, 0.2);
    const QPoint to = inPlot(0.75, 0.6);
    const QPointF fromValue =
        chart.chart()->mapToValue(chart.chart()->mapFromScene(chart.mapToScene(from)));
    const QPointF toValue =
        chart.chart()->mapToValue(chart.chart()->mapFromScene(chart.mapToScene(to)));
    QTest::mousePress(chart.viewport(), Qt::RightButton, {}, from);
    QTest::mouseMove(chart.viewport(), (from + to) / 2);
    QTest::mouseMove(chart.viewport(), to);
    QTest::mouseRelease(chart.viewport(), Qt::RightButton, {}, to);
    EXPECT_TRUE(chart.isZoomed());
    const double xPixel = 400 / chart.chart()->plotArea().width();
    const double yPixel = 90 / chart.chart()->plotArea().height();
    // The band spans from..to inclusive: one pixel of slack.
    expectRange(chart.xRange(), fromValue.x(), toValue.x(), 1.5 * xPixel);
    expectRange(chart.yRange(), toValue.y(), fromValue.y(), 1.5 * yPixel);
    EXPECT_NEAR(chart.xRange().min, 100, 2);
    EXPECT_NEAR(chart.xRange().max, 300, 2);
    EXPECT_NEAR(chart.yRange().max, 52, 1);
    EXPECT_NEAR(chart.yRange().min, 16, 1);

    // A second drag zooms further; undo returns to the ranges before the first.
    QTest::mousePress(chart.viewport(), Qt::RightButton, {}, inPlot(0.1, 0.1));
    QTest::mouseRelease(chart.viewport(), Qt::RightButton, {}, inPlot(0.5, 0.5));
    EXPECT_LT(chart.xRange().max - chart.xRange().min, 120);
    chart.undoZoom();
    expectRange(chart.xRange(), 0, 400);
    expectRange(chart.yRange(), -20, 70);

    // A right click without a drag does nothing.
    QTest::mouseClick(chart.viewport(), Qt::RightButton, {}, from);
    EXPECT_FALSE(chart.isZoomed());
}

// The bottom axis shows a handful of the points' own labels, all inside the visible range,
// and picks new ones when the range changes.
TEST_F(ChartTest, BottomLabelsFollowTheRange) {
    chart.setReadings(readings(1440));
    auto checkLabels = [&](int atLeast = 3) {
        QCategoryAxis* axis = chart.bottomAxis();
        const QStringList shown = chart.shownLabels();
        EXPECT_GE(shown.size(), atLeast);
        EXPECT_LE(shown.size(), 12);
        EXPECT_EQ(axis->count(), shown.size());
        const AxisRange x = chart.xRange();
        const QStringList keys = axis->categoriesLabels();
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const double at = axis->endValue(keys[i]);
            EXPECT_GT(at, x.min);
            EXPECT_LE(at, x.max);
            EXPECT_EQ(at, std::round(at));
            EXPECT_EQ(shown[i], chart.pointLabel(static_cast<int>(at)));
            // Blanks survive the axis' rich text.
            QString plain = keys[i];
            plain.replace(QChar(0x00A0), QLatin1Char(' ')).remove(QChar(0x200B));
            EXPECT_EQ(plain, shown[i]);
        }
        return shown;
    };
    const QStringList whole = checkLabels();
    EXPECT_EQ(whole.first().left(7), QStringLiteral("01Jan14"));
    EXPECT_TRUE(whole.last().startsWith(QStringLiteral("06Jan14")));

    for (int i = 0; i < 40; ++i)
        chart.zoomIn();
    const QStringList zoomed = checkLabels();
    EXPECT_NE(zoomed, whole);
    EXPECT_TRUE(zoomed.first().startsWith(QStringLiteral("03Jan14")));

    chart.undoZoom();
    EXPECT_EQ(checkLabels(), whole);

    // Zoomed far out the points take a small part of the axis; only they are labelled.
    for (int i = 0; i < 30; ++i)
        chart.zoomOut();
    ASSERT_LT(chart.xRange().min, -5000);
    for (const QString& label : checkLabels(1))
        EXPECT_FALSE(label.isEmpty());
}

TEST_F(ChartTest, FourteenThousandFourHundredPointsGoInAtOnce) {
    chart.setReadings(readings(14400));
    EXPECT_EQ(chart.readingSeries()->count(), 14400);
    EXPECT_EQ(chart.series2()->count(), 14400);
    expectRange(chart.xRange(), 0, 14399);
    EXPECT_EQ(chart.pointLabel(14399), QStringLiteral("60Jan14  23:54"));
    const QImage image = chart.grab().toImage();
    EXPECT_EQ(image.size(), QSize(850, 401));
    EXPECT_LE(chart.shownLabels().size(), 12);
}

// The picture on the clipboard is the chart at its on-screen size; the zero line is in it.
TEST_F(ChartTest, RenderToClipboardGivesTheOnScreenSize) {
    chart.setReadings(readings(100));
    chart.copyToClipboard();
    const QImage fromClipboard = QImage::fromData(test::readClipboard("image/png"), "PNG");
    ASSERT_FALSE(fromClipboard.isNull());
    EXPECT_EQ(fromClipboard.size(), chart.size());
    const QPointF zero = chart.chart()->mapToPosition(QPointF(50, 0), chart.series2());
    const QPoint at = chart.mapFromScene(chart.chart()->mapToScene(zero));
    EXPECT_EQ(fromClipboard.pixelColor(at), QColor(Qt::black));
    // The panel runs up to white at the top.
    EXPECT_EQ(fromClipboard.pixelColor(2, 1), QColor(Qt::white));

    test::RefusingClipboard refusing;
    try {
        chart.copyToClipboard(&refusing);
        ADD_FAILURE() << "no error";
    } catch (const ClipboardError& error) {
        EXPECT_STREQ(error.what(), "Cannot open clipboard: held by xyz");
    }
}

TEST(ChartOffScreen, ANeverShownChartRendersAtItsSize) {
    TemperatureChart chart;
    chart.resize(850, 401);
    chart.setReadings(readings(50));
    const QImage image = chart.renderImage();
    EXPECT_EQ(image.size(), QSize(850, 401));
    EXPECT_EQ(image.pixelColor(2, 1), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(425, 200), QColor(Qt::white));
}

}  // namespace
}  // namespace halvik
