// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecordsBrowser.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <optional>

#include "analysis/Statistics.h"
#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "app/TimeBaseChooser.h"
#include "app/WindowRecords.h"
#include "library/RecordsIndex.h"
#include "logger/Conversions.h"
#include "records/RecordStore.h"
#include "review/Profiles.h"
#include "review/Review.h"
#include "timebase/TimeBase.h"

namespace halvik {

namespace {

constexpr int kReadingSeconds = 6 * 60;
// The item role that holds a row's index into records_ and the sort keys of number columns.
constexpr int kRecordRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// "2026-01-12 09:00": a moment as the window's time base shows it.
QString TimeText(const TimeBase& base, const std::optional<std::int64_t>& time) {
    if (!time)
        return "unknown";
    std::string iso;
    try {
        iso = IsoTimeText(base, std::chrono::sys_seconds{std::chrono::seconds{*time}});
    } catch (const TimeBaseError&) {
        // The zone left the database since it was chosen: the card's clock is always there.
        iso = IsoTimeText(TimeBase(), std::chrono::sys_seconds{std::chrono::seconds{*time}});
    }
    return QString::fromStdString(iso.substr(0, 10) + " " + iso.substr(11, 5));
}

QString Statistic(const std::optional<double>& value, TemperatureUnit unit) {
    if (!value)
        return "n/a";
    return QString::number(*value, 'f', 1) + " " + UnitText(unit);
}

QStandardItem* Item(const QString& text, const QVariant& sortKey = {}) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(sortKey.isValid() ? sortKey : QVariant(text), kSortRole);
    return item;
}

// A series for the chart: the readings as the grid shows them in `unit`, one every six minutes;
// readings that are not real temperatures are left out.
struct Series {
    QString name;
    std::int64_t first = 0, last = 0;
    std::vector<std::pair<std::int64_t, double>> points;
};

std::optional<Series> SeriesOf(const Record& record, const QString& name, TemperatureUnit unit) {
    const auto first = RecordFirstReading(record);
    if (!first)
        return std::nullopt;
    Series series;
    series.name = name;
    series.first = first->time_since_epoch().count();
    const int count = RecordReadingsReceived(record);
    const LocaleSettings point;
    for (int i = 0; i < count && 2 * std::size_t(i) + 1 < record.readings.size(); ++i) {
        const auto at = 2 * static_cast<std::size_t>(i);
        const long double celsius = DecodeReading(record.readings[at], record.readings[at + 1]);
        const long double shown =
            unit == TemperatureUnit::Fahrenheit ? FahrenheitReading(celsius) : celsius;
        const auto value = static_cast<double>(TextToNumber(TemperatureText(shown, point), "."));
        if (IsPossibleTemperature(value, unit))
            series.points.emplace_back(series.first + kReadingSeconds * std::int64_t(i), value);
    }
    if (series.points.empty())
        return std::nullopt;
    series.last = series.first + kReadingSeconds * std::int64_t(count - 1);
    return series;
}

// A time axis whose labels are the time base's clock: the points stay at their real moments
// (six minutes apart across a daylight-saving change), only the labels are local times.
QCategoryAxis* TimeAxis(const TimeBase& base, std::int64_t start, std::int64_t end) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    TimeBase shown = base;
    std::optional<TimeConverter> converter;
    try {
        converter.emplace(shown);
    } catch (const TimeBaseError&) {
        shown = TimeBase();
        converter.emplace(shown);
    }
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setMin(double(start));
    axis->setMax(double(end));
    axis->setStartValue(double(start));
    constexpr int kTicks = 6;
    QStringList used;
    for (int i = 0; i <= kTicks; ++i) {
        const std::int64_t at = start + (end - start) * i / kTicks;
        const LocalTime local =
            converter->Convert(std::chrono::sys_seconds{std::chrono::seconds{at}});
        const QString label =
            QString::asprintf("%02d %s %02d:%02d", local.day, kMonths[(local.month + 11) % 12],
                              local.hour, local.minute);
        if (used.contains(label))
            continue;  // a short span: labels must differ
        used << label;
        axis->append(label, double(at));
    }
    const std::string zone =
        TimeBaseName(shown, std::chrono::sys_seconds{std::chrono::seconds{start}});
    axis->setTitleText("Time, " + QString::fromStdString(zone));
    return axis;
}

}  // namespace

RecordsBrowser::RecordsBrowser(TForm3& window) : QDialog(&window), window_(window) {
    setObjectName("RecordsBrowser");
    setWindowTitle("Records");
    resize(1100, 520);
    filter = new QLineEdit(this);
    filter->setPlaceholderText("Filter: PID, date, host, verdict or file name");
    filter->setClearButtonEnabled(true);
    table = new QTableView(this);
    compare = new QPushButton("Compare", this);
    compare->setToolTip("Draw the selected records and the one shown in the window on one chart");
    auto* reload = new QPushButton("Refresh", this);
    status = new QLabel(this);
    status->setWordWrap(true);

    model_ = new QStandardItemModel(0, 10, this);
    model_->setHorizontalHeaderLabels({"First reading", "Last reading", "PID", "Readings",
                                       "Maximum", "Minimum", "MKT", "Verdict", "Host", "File"});
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(kSortRole);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table->setModel(proxy_);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(filter, 1);
    buttons->addWidget(reload);
    buttons->addWidget(compare);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(table, 1);
    layout->addWidget(status);

    connect(filter, &QLineEdit::textChanged, proxy_, &QSortFilterProxyModel::setFilterFixedString);
    connect(reload, &QPushButton::clicked, this, [this] { refresh(); });
    connect(compare, &QPushButton::clicked, this, [this] { compareSelected(); });
    connect(table, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openRow(index.row()); });
}

void RecordsBrowser::refresh() {
    folder_ = RecordFolderPath();
    QString said;
    try {
        RecordsIndex index(RecordsIndexPath(), folder_, ProfileFolderPath());
        std::error_code error;
        if (std::filesystem::exists(folder_, error)) {
            const IndexUpdate update = index.Update();
            if (!update.rebuilt.empty())
                said = "The records index was built again: " + FromUtf8(update.rebuilt) + ". ";
        }
        if (!index.InMemoryReason().empty())
            said += FromUtf8(index.InMemoryReason()) + " ";
        records_ = index.List();
    } catch (const std::exception& e) {
        // The folder went away or cannot be read: say so and keep the list as it was.
        status->setText(FromUtf8(e.what()));
        return;
    }

    const TimeBase base = window_.timeBase ? window_.timeBase->base() : TimeBase();
    table->setSortingEnabled(false);
    model_->removeRows(0, model_->rowCount());
    int unreadable = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const RecordFacts& r = records_[i];
        QList<QStandardItem*> row;
        if (!r.problem.empty()) {
            ++unreadable;
            row = {Item("cannot be read", QVariant(qint64(-1))),
                   Item(""),
                   Item(""),
                   Item("", 0),
                   Item(""),
                   Item(""),
                   Item(""),
                   Item(""),
                   Item(""),
                   Item(FromUtf8(r.name) + ": " + FromUtf8(r.problem))};
        } else {
            QString readings = QString::number(r.count);
            if (!r.complete)
                readings += " of " + QString::number(r.announced);
            QString name = FromUtf8(r.name);
            if (!r.intact)
                name += "  (changed after download)";
            row = {Item(TimeText(base, r.firstReading), qint64(r.firstReading.value_or(-1))),
                   Item(TimeText(base, r.lastReading), qint64(r.lastReading.value_or(-1))),
                   Item(FromUtf8(r.pid)),
                   Item(readings, r.count),
                   Item(Statistic(r.maximum, r.unit), r.maximum.value_or(-1e300)),
                   Item(Statistic(r.minimum, r.unit), r.minimum.value_or(-1e300)),
                   Item(Statistic(r.mkt, r.unit), r.mkt.value_or(-1e300)),
                   Item(r.verdict ? FromUtf8(*r.verdict) : "-"),
                   Item(FromUtf8(r.host)),
                   Item(name)};
            if (!r.intact || !r.complete)
                for (QStandardItem* item : row)
                    item->setForeground(Qt::darkRed);
        }
        row.front()->setData(qulonglong(i), kRecordRole);
        model_->appendRow(row);
    }
    table->setSortingEnabled(true);
    table->sortByColumn(1, Qt::DescendingOrder);
    table->resizeColumnsToContents();
    status->setText(
        said + QString::number(records_.size()) + " records in " + FromUtf8(folder_.string()) +
        (unreadable ? ", " + QString::number(unreadable) + " cannot be read" : QString()));
}

void RecordsBrowser::openRow(int row) {
    const QModelIndex index = proxy_->mapToSource(proxy_->index(row, 0));
    const auto i = model_->item(index.row(), 0)->data(kRecordRole).toULongLong();
    if (i >= records_.size() || !records_[i].problem.empty())
        return;
    window_.openRecordFile(folder_ / records_[i].name);  // says why when it is gone by now
}

QDialog* RecordsBrowser::compareSelected() {
    // The window's unit and time base, as its own chart.
    const TemperatureUnit unit =
        window_.RadioButton2->isChecked() ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
    const TimeBase base = window_.timeBase ? window_.timeBase->base() : TimeBase();
    std::vector<Series> series;
    QStringList problems;
    std::vector<Record> drawn;
    for (const QModelIndex& selected : table->selectionModel()->selectedRows()) {
        const QModelIndex index = proxy_->mapToSource(selected);
        const auto i = model_->item(index.row(), 0)->data(kRecordRole).toULongLong();
        if (i >= records_.size() || !records_[i].problem.empty())
            continue;
        try {
            const LoadedRecord loaded = LoadRecord(folder_ / records_[i].name);
            if (auto s = SeriesOf(
                    loaded.record,
                    FromUtf8(records_[i].pid) + "  " + TimeText(base, records_[i].firstReading),
                    unit)) {
                series.push_back(std::move(*s));
                drawn.push_back(loaded.record);
            }
        } catch (const std::exception& e) {
            problems << FromUtf8(e.what());
        }
    }
    const std::optional<Record>& shown = window_.records->shown();
    if (shown && std::none_of(drawn.begin(), drawn.end(), [&](const Record& r) {
            return r.header == shown->header && r.readings == shown->readings;
        }))
        if (auto s = SeriesOf(*shown, "shown in the window", unit))
            series.push_back(std::move(*s));
    if (series.size() < 2) {
        problems.prepend(
            "Select at least two records with readings to compare (the record "
            "shown in the window counts as one).");
        status->setText(problems.join(" "));
        return nullptr;
    }
    // Records whose readings do not overlap any other's are still drawn, and named.
    for (const Series& s : series)
        if (std::none_of(series.begin(), series.end(), [&](const Series& o) {
                return &o != &s && o.first <= s.last && s.first <= o.last;
            }))
            problems << s.name + " does not overlap the others in time.";

    std::int64_t start = series.front().first, end = 0;
    for (const Series& s : series) {
        start = std::min(start, s.first);
        end = std::max(end, s.last);
    }
    auto* chart = new QChart;
    QCategoryAxis* time = TimeAxis(base, start, std::max(end, start + 60));
    auto* value = new QValueAxis;
    value->setTitleText(UnitText(unit));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    double low = series.front().points.front().second, high = low;
    for (const Series& s : series) {
        auto* line = new QLineSeries;
        line->setName(s.name);
        QList<QPointF> points;
        points.reserve(qsizetype(s.points.size()));
        for (const auto& [at, reading] : s.points) {
            points.append(QPointF(double(at), reading));
            low = std::min(low, reading);
            high = std::max(high, reading);
        }
        line->replace(points);
        chart->addSeries(line);
        line->attachAxis(time);
        line->attachAxis(value);
    }
    value->setRange(std::floor(low) - 1, std::ceil(high) + 1);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setTitle("Records compared");

    auto* dialog = new QDialog(this);
    dialog->setObjectName("RecordsCompare");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle("Compare records");
    dialog->resize(1000, 560);
    auto* view = new QChartView(chart, dialog);
    view->setRenderHint(QPainter::Antialiasing);
    auto* note = new QLabel(problems.join(" "), dialog);
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(view, 1);
    layout->addWidget(note);
    dialog->show();
    status->setText(problems.join(" "));
    return dialog;
}

RecordsBrowser* ShowRecordsBrowser(TForm3& window) {
    auto* browser = window.findChild<RecordsBrowser*>("RecordsBrowser");
    if (browser == nullptr)
        browser = new RecordsBrowser(window);
    browser->refresh();
    browser->show();
    browser->raise();
    browser->activateWindow();
    return browser;
}

void AddRecordsBrowserControls(TForm3& window) {
    auto show = [&window] { runHandler(&window, [&window] { ShowRecordsBrowser(window); }); };
    auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &window);
    QObject::connect(key, &QShortcut::activated, &window, show);
    auto* button = new QPushButton("Records", window.BitBtn9->parentWidget());
    button->setObjectName("RecordsButton");
    button->setGeometry(362, 478, 112, 39);
    button->setFont(window.BitBtn9->font());
    button->setToolTip("Browse, filter and compare the kept records (Ctrl+L)");
    QObject::connect(button, &QPushButton::clicked, &window, show);
    button->show();
}

}  // namespace halvik
