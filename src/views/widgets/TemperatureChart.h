// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChartView>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "download/ChartPoint.h"
#include "logger/Reading.h"    // TemperatureUnit
#include "views/ChartScale.h"  // AxisRange

class QCategoryAxis;
class QLineSeries;
class QRubberBand;
class QValueAxis;

namespace halvik {

class ClipboardAccess;

// The temperature chart: the left axis at its unit's fixed range (widened to show every reading
// that passes it, FullTemperatureRange), the black zero line `Series2` and the line series of
// the current download with a timestamp label for every point. Only the handful of labels that
// fit are shown on the bottom axis, rebuilt whenever its range changes.
//
// Zoom in/out move each end of both axes by 4 % of the range; undo returns to the ranges in
// force before the first zoom or scroll (by button or mouse). Right-drag zooms to the dragged
// rectangle, left-drag scrolls.
class TemperatureChart : public QChartView {
    Q_OBJECT
  public:
    explicit TemperatureChart(QWidget* parent = nullptr);
    ~TemperatureChart() override;

    static QString unitTitle(TemperatureUnit unit);  // "Temperature (°C)" / "Temperature (°F)"

    // The chart's size in the main window, which the reports' chart pictures have.
    static constexpr QSize kDesignedSize{850, 401};

    // The picture renderImage gives of a chart of `size` that shows `points` in `unit`, unzoomed,
    // made without showing anything on screen (a QApplication must exist, offscreen will do).
    static QImage pictureOf(const std::vector<ChartPoint>& points, TemperatureUnit unit,
                            QSize size);

    // The unit switch's chart part: the left axis range (the unit's full view of the readings
    // shown) and its title. Converts no values.
    void setUnit(TemperatureUnit unit);
    TemperatureUnit unit() const { return unit_; }

    // One download (or its part that was parsed): these points replace the readings series'
    // points, at X = 0, 1, ... (labels are UTF-8, e.g. "07Jan14  09:06", blanks shown as they
    // are), and Series2 gets one point of value 0 per reading. The zoom is forgotten and both
    // axes show the full view. Points are handed to the chart in one go.
    void setReadings(const std::vector<ChartPoint>& points);

    void zoomIn();    // each end inward by 4 % of the range, on both axes
    void zoomOut();   // each end outward by 4 % of the range, on both axes
    void undoZoom();  // back to the ranges before the first zoom or scroll; else nothing
    bool isZoomed() const { return savedX_.has_value(); }

    // The whole chart at its on-screen size, drawn on white.
    QImage renderImage();
    // renderImage() onto the clipboard (the system clipboard when none is given).
    // Throws ClipboardError when the clipboard refuses it.
    void copyToClipboard(ClipboardAccess* clipboard = nullptr);

    // Inspection.
    QLineSeries* series2() const { return series2_; }
    // The readings series; none before the first download.
    QLineSeries* readingSeries() const { return readingSeries_; }
    QValueAxis* leftAxis() const { return leftAxis_; }
    QCategoryAxis* bottomAxis() const { return bottomAxis_; }
    AxisRange xRange() const;
    AxisRange yRange() const;
    // The full view of the left axis: the unit's range widened for the readings shown.
    AxisRange fullYRange() const;
    // The label of the point at X, or "".
    QString pointLabel(int x) const;
    // The labels on the bottom axis now, left to right, as given to addReadings.
    QStringList shownLabels() const;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void configure();
    void rememberRangesOnce();
    void setRanges(AxisRange x, AxisRange y);
    AxisRange fullXRange() const;
    void rebuildBottomLabels();
    void updateLeftTicks();

    TemperatureUnit unit_ = TemperatureUnit::Celsius;
    QValueAxis* leftAxis_ = nullptr;
    QCategoryAxis* bottomAxis_ = nullptr;
    QLineSeries* series2_ = nullptr;
    QLineSeries* readingSeries_ = nullptr;
    std::vector<double> values_;   // by point index
    std::vector<QString> labels_;  // by point index
    std::optional<AxisRange> savedX_;
    std::optional<AxisRange> savedY_;
    QStringList shownLabels_;
    bool rebuildingLabels_ = false;

    enum class Drag { None, Zoom, Scroll };
    Drag drag_ = Drag::None;
    QPoint dragStart_;
    QPoint dragLast_;
    QRubberBand* rubberBand_ = nullptr;
};

}  // namespace halvik
