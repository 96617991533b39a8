#pragma once

#include <QChartView>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "logger/Reading.h"  // TemperatureUnit
#include "views/ChartPoint.h"

class QCategoryAxis;
class QLineSeries;
class QRubberBand;
class QValueAxis;

namespace halvik {

class ClipboardAccess;

// A visible range of one axis.
struct AxisRange {
    double min = 0;
    double max = 0;
    bool operator==(const AxisRange&) const = default;
};

// The temperature chart: a fixed-range left axis per unit, the black zero line `Series2` and
// one line series per parse with a timestamp label for every point. Only the handful of
// labels that fit are shown on the bottom axis, rebuilt whenever its range changes.
//
// Zoom in/out move each end of both axes by 4 % of the range; undo returns to the ranges in
// force before the first zoom or scroll (by button or mouse). Right-drag zooms to the dragged
// rectangle, left-drag scrolls.
class TemperatureChart : public QChartView {
    Q_OBJECT
  public:
    explicit TemperatureChart(QWidget* parent = nullptr);
    ~TemperatureChart() override;

    static AxisRange unitRange(TemperatureUnit unit);  // -20..70 or -4..158
    static QString unitTitle(TemperatureUnit unit);    // "Temperature (°C)" / "Temperature (°F)"

    // The unit switch's chart part: the left axis range and its title. Converts no values.
    void setUnit(TemperatureUnit unit);
    TemperatureUnit unit() const { return unit_; }

    // One parse: adds a new line series with these points at X = 0, 1, ... (labels are UTF-8,
    // e.g. "07Jan14  09:06", blanks shown as they are) and one point of
    // value 0 per reading to Series2 (which keeps accumulating). An empty list still adds the
    // (empty) series. Points are handed to the chart in one go.
    void addReadings(const std::vector<ChartPoint>& points);

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
    const std::vector<QLineSeries*>& readingSeries() const { return readingSeries_; }
    QValueAxis* leftAxis() const { return leftAxis_; }
    QCategoryAxis* bottomAxis() const { return bottomAxis_; }
    AxisRange xRange() const;
    AxisRange yRange() const;
    // The label of the point at X (from the earliest parse that has a point there), or "".
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
    qsizetype labelledPoints() const;
    void rebuildBottomLabels();
    void updateLeftTicks();

    TemperatureUnit unit_ = TemperatureUnit::Celsius;
    QValueAxis* leftAxis_ = nullptr;
    QCategoryAxis* bottomAxis_ = nullptr;
    QLineSeries* series2_ = nullptr;
    std::vector<QLineSeries*> readingSeries_;
    std::vector<std::vector<QString>> labels_;  // per reading series, by point index
    qsizetype series2Points_ = 0;
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
