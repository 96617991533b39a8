// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/widgets/TemperatureChart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "views/widgets/Clipboard.h"
#include "views/widgets/WidgetFonts.h"

namespace halvik {

namespace {

constexpr double kZoomStep = 0.04;   // of the range, at each end
constexpr int kMinimumZoomDrag = 4;  // pixels; a smaller rubber band is a click
constexpr int kLabelGap = 24;        // pixels between two bottom labels
constexpr int kMaximumBottomLabels = 12;
const QColor kAxisLineColour(64, 64, 64);
const QColor kGridLineColour(169, 169, 169);
const QColor kPanelGrey(234, 234, 234);
const QString kLabelFamily = QStringLiteral("Verdana");
constexpr int kLabelPixelSize = 11;

// Bottom to top: grey, grey, white (the middle stop only when given).
QLinearGradient upwardGradient(bool withMiddle) {
    QLinearGradient gradient(0, 1, 0, 0);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, kPanelGrey);
    if (withMiddle)
        gradient.setColorAt(0.5, kPanelGrey);
    gradient.setColorAt(1, Qt::white);
    return gradient;
}

void styleAxis(QAbstractAxis* axis) {
    axis->setLinePenColor(kAxisLineColour);
    axis->setGridLineColor(kGridLineColour);
    axis->setLabelsFont(windowFont(kLabelFamily, kLabelPixelSize));
    axis->setLabelsColor(Qt::black);
    axis->setTitleFont(windowFont(kLabelFamily, kLabelPixelSize));
}

// Axis labels are rich text: keep runs of blanks and leading blanks as the label has them.
QString keepBlanks(QString text) {
    text.replace(QLatin1Char(' '), QChar(0x00A0));
    return text;
}

// A step of 1, 2 or 5 times a power of ten that cuts span into at most `parts` pieces.
double niceStep(double span, int parts) {
    if (!(span > 0))
        return 1;
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= raw - 1e-12 * power)
            return factor * power;
    }
    return 10 * power;
}

}  // namespace

TemperatureChart::TemperatureChart(QWidget* parent) : QChartView(new QChart(), parent) {
    configure();
}

TemperatureChart::~TemperatureChart() = default;

QString TemperatureChart::unitTitle(TemperatureUnit unit) {
    return unit == TemperatureUnit::Celsius ? QStringLiteral("Temperature (°C)")
                                            : QStringLiteral("Temperature (°F)");
}

void TemperatureChart::configure() {
    QChart* c = chart();
    c->setTitle(QStringLiteral("Temperature Chart"));
    c->setTitleFont(windowFont(kLabelFamily, 13, true));
    c->setTitleBrush(Qt::black);
    c->legend()->hide();
    c->layout()->setContentsMargins(0, 0, 0, 0);
    c->setBackgroundRoundness(0);
    c->setBackgroundBrush(upwardGradient(true));
    c->setBackgroundPen(Qt::NoPen);
    c->setPlotAreaBackgroundBrush(upwardGradient(false));
    c->setPlotAreaBackgroundVisible(true);
    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::white);

    leftAxis_ = new QValueAxis(this);
    styleAxis(leftAxis_);
    leftAxis_->setTickType(QValueAxis::TicksDynamic);
    leftAxis_->setTickAnchor(0);
    QFont titleFont = windowFont(QStringLiteral("sakkalmajalla"), 15, true);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    leftAxis_->setTitleFont(titleFont);
    leftAxis_->setTitleBrush(QColor(0, 0, 255));
    c->addAxis(leftAxis_, Qt::AlignLeft);

    bottomAxis_ = new QCategoryAxis(this);
    styleAxis(bottomAxis_);
    bottomAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    c->addAxis(bottomAxis_, Qt::AlignBottom);

    series2_ = new QLineSeries(this);
    series2_->setName(QStringLiteral("Series2"));
    c->addSeries(series2_);
    series2_->attachAxis(bottomAxis_);
    series2_->attachAxis(leftAxis_);
    series2_->setPen(QPen(Qt::black, 2));
    series2_->setPointsVisible(false);

    connect(leftAxis_, &QValueAxis::rangeChanged, this, [this] { updateLeftTicks(); });
    connect(bottomAxis_, &QValueAxis::rangeChanged, this, [this] { rebuildBottomLabels(); });
    connect(c, &QChart::plotAreaChanged, this, [this] { rebuildBottomLabels(); });

    setRenderHint(QPainter::Antialiasing, false);
    setDragMode(QGraphicsView::NoDrag);
    setRubberBand(QChartView::NoRubberBand);
    viewport()->setCursor(Qt::PointingHandCursor);
    rubberBand_ = new QRubberBand(QRubberBand::Rectangle, viewport());
    rubberBand_->hide();

    const AxisRange x = fullXRange();
    bottomAxis_->setRange(x.min, x.max);
    setUnit(TemperatureUnit::Celsius);
}

void TemperatureChart::setUnit(TemperatureUnit unit) {
    unit_ = unit;
    const AxisRange y = fullYRange();
    leftAxis_->setRange(y.min, y.max);
    // Undo must not bring back the other unit's scale.
    if (savedY_)
        savedY_ = y;
    leftAxis_->setTitleText(unitTitle(unit));
    leftAxis_->setTitleBrush(QColor(0, 0, 255));
    updateLeftTicks();
}

void TemperatureChart::setReadings(const std::vector<ChartPoint>& points) {
    QList<QPointF> values;
    QList<QPointF> zeros;
    values.reserve(static_cast<qsizetype>(points.size()));
    zeros.reserve(static_cast<qsizetype>(points.size()));
    values_.clear();
    values_.reserve(points.size());
    labels_.clear();
    labels_.reserve(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        values.append(QPointF(static_cast<double>(i), points[i].value));
        zeros.append(QPointF(static_cast<double>(i), 0));
        values_.push_back(points[i].value);
        labels_.push_back(QString::fromStdString(points[i].label));
    }

    if (readingSeries_ == nullptr) {
        readingSeries_ = new QLineSeries(this);
        readingSeries_->setName(QStringLiteral("Series3"));
        readingSeries_->setPointsVisible(false);
        chart()->addSeries(readingSeries_);
        readingSeries_->attachAxis(bottomAxis_);
        readingSeries_->attachAxis(leftAxis_);
    }

    // A zoom of the previous readings means nothing for these. The ranges are set before the
    // points arrive so they are laid out once.
    savedX_.reset();
    savedY_.reset();
    setRanges(fullXRange(), fullYRange());
    // Each series takes all its points in one go: point by point, a shown chart redraws for
    // every one of them.
    series2_->replace(zeros);
    readingSeries_->replace(values);
    rebuildBottomLabels();
}

void TemperatureChart::zoomIn() {
    rememberRangesOnce();
    const AxisRange x = xRange();
    const AxisRange y = yRange();
    const double dx = (x.max - x.min) * kZoomStep;
    const double dy = (y.max - y.min) * kZoomStep;
    setRanges({x.min + dx, x.max - dx}, {y.min + dy, y.max - dy});
}

void TemperatureChart::zoomOut() {
    rememberRangesOnce();
    const AxisRange x = xRange();
    const AxisRange y = yRange();
    const double dx = (x.max - x.min) * kZoomStep;
    const double dy = (y.max - y.min) * kZoomStep;
    setRanges({x.min - dx, x.max + dx}, {y.min - dy, y.max + dy});
}

void TemperatureChart::undoZoom() {
    if (!savedX_ || !savedY_)
        return;
    const AxisRange x = *savedX_;
    const AxisRange y = *savedY_;
    savedX_.reset();
    savedY_.reset();
    setRanges(x, y);
}

QImage TemperatureChart::renderImage() {
    // A view that was never shown has not laid out its chart yet.
    if (chart()->layout() != nullptr)
        chart()->layout()->activate();
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QWidget::render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    return image;
}

QImage TemperatureChart::pictureOf(const std::vector<ChartPoint>& points, TemperatureUnit unit,
                                   QSize size) {
    TemperatureChart chart;
    // Laid out and polished as a shown chart is, but never put on a screen.
    chart.setAttribute(Qt::WA_DontShowOnScreen);
    chart.resize(size);
    chart.setUnit(unit);
    chart.setReadings(points);
    chart.show();
    return chart.renderImage();
}

void TemperatureChart::copyToClipboard(ClipboardAccess* clipboard) {
    ClipboardAccess& target = clipboard != nullptr ? *clipboard : systemClipboard();
    target.setImage(renderImage());
}

AxisRange TemperatureChart::xRange() const {
    return {bottomAxis_->min(), bottomAxis_->max()};
}

AxisRange TemperatureChart::yRange() const {
    return {leftAxis_->min(), leftAxis_->max()};
}

AxisRange TemperatureChart::fullYRange() const {
    return FullTemperatureRange(unit_, values_);
}

QString TemperatureChart::pointLabel(int x) const {
    if (x < 0 || static_cast<size_t>(x) >= labels_.size())
        return {};
    return labels_[static_cast<size_t>(x)];
}

QStringList TemperatureChart::shownLabels() const {
    return shownLabels_;
}

void TemperatureChart::rememberRangesOnce() {
    if (savedX_)
        return;
    savedX_ = xRange();
    savedY_ = yRange();
}

void TemperatureChart::setRanges(AxisRange x, AxisRange y) {
    leftAxis_->setRange(y.min, y.max);
    bottomAxis_->setRange(x.min, x.max);
}

AxisRange TemperatureChart::fullXRange() const {
    const auto points = static_cast<qsizetype>(labels_.size());
    return {0, static_cast<double>(std::max<qsizetype>(points - 1, 1))};
}

void TemperatureChart::rebuildBottomLabels() {
    if (rebuildingLabels_)
        return;
    rebuildingLabels_ = true;
    const AxisRange x = xRange();

    // As many labels as fit side by side, spread evenly over the visible part that has points,
    // each at a point.
    const QFontMetrics metrics(bottomAxis_->labelsFont());
    const int labelWidth =
        metrics.horizontalAdvance(keepBlanks(QStringLiteral("00Mmm00  00:00"))) + kLabelGap;
    double plotWidth = chart()->plotArea().width();
    if (plotWidth <= 0)
        plotWidth = std::max(width() - 80, 0);
    const double span = x.max - x.min;
    const double from = std::max(x.min, 0.0);
    const double to = std::min(x.max, static_cast<double>(labels_.size()) - 1);

    std::vector<long long> positions;
    if (span > 0 && to >= from) {
        const double shownWidth = plotWidth * (to - from) / span;
        const int labelSlots =
            std::clamp(static_cast<int>(shownWidth / labelWidth), 1, kMaximumBottomLabels);
        for (int i = 0; i < labelSlots; ++i) {
            const double at = std::round(from + (i + 0.5) * (to - from) / labelSlots);
            // The axis drops a label at its very minimum.
            if (at <= x.min || at > x.max || at < from || at > to)
                continue;
            const auto position = static_cast<long long>(at);
            if (!positions.empty() && position <= positions.back())
                continue;
            positions.push_back(position);
        }
    }

    QStringList labels;
    for (long long position : positions)
        labels.append(pointLabel(static_cast<int>(position)));

    if (labels != shownLabels_ || bottomAxis_->count() != labels.size() ||
        bottomAxis_->startValue() != x.min) {
        for (const QString& old : bottomAxis_->categoriesLabels())
            bottomAxis_->remove(old);
        bottomAxis_->setStartValue(x.min);
        QStringList used;
        for (size_t i = 0; i < positions.size(); ++i) {
            // The axis keys categories by text: make a repeated text distinct without
            // changing what it shows.
            QString text = keepBlanks(labels[static_cast<qsizetype>(i)]);
            while (used.contains(text))
                text += QChar(0x200B);
            used.append(text);
            bottomAxis_->append(text, static_cast<double>(positions[i]));
        }
        shownLabels_ = labels;
    }
    if (xRange() != x)
        bottomAxis_->setRange(x.min, x.max);
    rebuildingLabels_ = false;
}

void TemperatureChart::updateLeftTicks() {
    const AxisRange y = yRange();
    const double step = niceStep(y.max - y.min, 10);
    if (leftAxis_->tickInterval() != step)
        leftAxis_->setTickInterval(step);
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    leftAxis_->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

void TemperatureChart::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        drag_ = Drag::Zoom;
        dragStart_ = at;
        rubberBand_->setGeometry(QRect(at, QSize()));
        rubberBand_->show();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        drag_ = Drag::Scroll;
        dragStart_ = at;
        dragLast_ = at;
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

// Widgets get the second press of a double click as a double click only.
void TemperatureChart::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void TemperatureChart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_ == Drag::Zoom) {
        rubberBand_->setGeometry(QRect(dragStart_, at).normalized());
        event->accept();
        return;
    }
    if (drag_ == Drag::Scroll) {
        const QPoint delta = at - dragLast_;
        dragLast_ = at;
        const QRectF plot = chart()->plotArea();
        if (delta.isNull() || plot.width() <= 0 || plot.height() <= 0)
            return;
        rememberRangesOnce();
        const AxisRange x = xRange();
        const AxisRange y = yRange();
        // The drawing follows the pointer: right shows earlier readings, down higher values.
        const double dx = -delta.x() * (x.max - x.min) / plot.width();
        const double dy = delta.y() * (y.max - y.min) / plot.height();
        setRanges({x.min + dx, x.max + dx}, {y.min + dy, y.max + dy});
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void TemperatureChart::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ == Drag::Zoom && event->button() == Qt::RightButton) {
        drag_ = Drag::None;
        rubberBand_->hide();
        const QRect band = QRect(dragStart_, event->position().toPoint()).normalized();
        if (band.width() >= kMinimumZoomDrag && band.height() >= kMinimumZoomDrag) {
            const QRectF inScene = mapToScene(band).boundingRect();
            const QRectF inChart = chart()->mapFromScene(inScene).boundingRect();
            const QRectF area = inChart.intersected(chart()->plotArea());
            if (!area.isEmpty()) {
                const QPointF topLeft = chart()->mapToValue(area.topLeft(), series2_);
                const QPointF bottomRight = chart()->mapToValue(area.bottomRight(), series2_);
                rememberRangesOnce();
                setRanges({std::min(topLeft.x(), bottomRight.x()),
                           std::max(topLeft.x(), bottomRight.x())},
                          {std::min(topLeft.y(), bottomRight.y()),
                           std::max(topLeft.y(), bottomRight.y())});
            }
        }
        event->accept();
        return;
    }
    if (drag_ == Drag::Scroll && event->button() == Qt::LeftButton) {
        drag_ = Drag::None;
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void TemperatureChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    rebuildBottomLabels();
}

}  // namespace halvik
