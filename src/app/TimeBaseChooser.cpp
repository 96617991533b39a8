// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TimeBaseChooser.h"

#include <QComboBox>
#include <QCompleter>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimeZone>
#include <chrono>

#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "timebase/ReadingTimes.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik {

namespace {

const QString kCardClockEntry = QStringLiteral("UTC (card clock)");
const QString kSettingsKey = QStringLiteral("timeBase");
constexpr const char* kComputerKey = "local";
// Label22 may run from its place to just before the statistics captions at x = 432.
constexpr int kCaptionMaxWidth = 410;

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void setCaption(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

}  // namespace

TimeBaseChooser::TimeBaseChooser(TForm3& window)
    : QObject(&window),
      window_(window),
      combo_(new QComboBox(window.Label22->parentWidget())),
      caption_(new QLabel(QStringLiteral("Times shown in:"), window.Label22->parentWidget())) {
    // Right of the unit switch, in the free space above the status caption.
    QFont font = window.Label22->font();
    caption_->setObjectName("TimeBaseCaption");
    caption_->setFont(font);
    caption_->move(136, 12);
    caption_->adjustSize();
    font.setBold(false);
    combo_->setObjectName("TimeBaseChooser");
    combo_->setFont(font);
    combo_->setGeometry(136, 30, 280, 24);
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->setMaxVisibleItems(20);
    combo_->setToolTip(QStringLiteral(
        "The clock the window shows times in. The card and the records keep UTC; a zone's "
        "local times follow its daylight saving. Type a zone's name (Europe/Berlin) or pick "
        "one."));
    fillEntries();
    combo_->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    combo_->completer()->setFilterMode(Qt::MatchContains);
    combo_->completer()->setCompletionMode(QCompleter::PopupCompletion);
    caption_->show();
    combo_->show();

    restore();
    showChoice();
    applyCaption();

    connect(combo_, &QComboBox::activated, this, [this](int index) {
        runHandler(&window_, [this, index] { choose(combo_->itemText(index)); });
    });
    connect(combo_->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { runHandler(&window_, [this] { choose(combo_->currentText()); }); });
}

QString TimeBaseChooser::settingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/halvik/halvik.conf");
}

void TimeBaseChooser::fillEntries() {
    const QSignalBlocker blocker(combo_);
    combo_->clear();
    combo_->addItem(kCardClockEntry, QString());
    const std::string problem = ZoneDataProblem();
    if (!problem.empty()) {
        // Only the card's clock can be offered; the reason is where the user looks for zones.
        combo_->setToolTip(fromUtf8(problem));
        return;
    }
    QString computer = QStringLiteral("This computer's zone");
    try {
        computer += " (" + fromUtf8(ComputerTimeBase().ZoneName()) + ")";
    } catch (const TimeBaseError&) {
        // Chosen, it says why it cannot be used.
    }
    combo_->addItem(computer, QString::fromLatin1(kComputerKey));
    for (const QByteArray& id : QTimeZone::availableTimeZoneIds()) {
        const QString name = QString::fromUtf8(id);
        combo_->addItem(name, name);
    }
}

bool TimeBaseChooser::choose(const QString& name) {
    const QString text = name.trimmed();
    const int entry = combo_->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    const QString key = entry >= 0 ? combo_->itemData(entry).toString() : text;
    TimeBase next;
    try {
        if (entry != 0)
            next = ParseTimeBase(key.toStdString());
    } catch (const TimeBaseError& e) {
        showChoice();
        showMessage(&window_, MessageKind::Error,
                    fromUtf8(e.what()) + "\n\nThe times stay in " +
                        fromUtf8(TimeBaseName(base_, std::chrono::floor<std::chrono::seconds>(
                                                         std::chrono::system_clock::now()))) +
                        ".");
        return false;
    }
    if (next != base_) {
        base_ = next;
        remember();
        apply();
    }
    showChoice();
    return true;
}

void TimeBaseChooser::useForThisRun(const TimeBase& base) {
    if (base != base_) {
        base_ = base;
        apply();
    }
    showChoice();
}

void TimeBaseChooser::showChoice() {
    const QSignalBlocker blocker(combo_);
    int entry = 0;
    if (base_.FromComputer())
        entry = combo_->findData(QString::fromLatin1(kComputerKey));
    else if (!base_.IsCardClock())
        entry = combo_->findData(fromUtf8(base_.ZoneName()));
    if (entry >= 0) {
        combo_->setCurrentIndex(entry);
    } else {
        combo_->setCurrentIndex(-1);
        combo_->setEditText(fromUtf8(base_.ZoneName()));  // a name Qt does not list, as given
    }
}

void TimeBaseChooser::remember() const {
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(kSettingsKey, base_.IsCardClock()    ? QString()
                                    : base_.FromComputer() ? QString::fromLatin1(kComputerKey)
                                                           : fromUtf8(base_.ZoneName()));
}

void TimeBaseChooser::restore() {
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    const QString saved = settings.value(kSettingsKey).toString();
    if (saved.isEmpty())
        return;
    try {
        base_ = ParseTimeBase(saved.toStdString());
    } catch (const TimeBaseError& e) {
        // The zone was removed, or this computer has no zone data now: UTC, and why.
        window_.showStatusMessage("Times are in UTC (card clock): " + fromUtf8(e.what()));
    }
}

void TimeBaseChooser::headerShown() {
    if (!base_.IsCardClock())
        applyToGrid();
    applyCaption();
}

std::vector<ChartPoint> TimeBaseChooser::readingsShown(const ParseResult& result) {
    points_ = result.points;
    statisticsShown_ = result.hasStatistics;
    return localPoints();
}

std::vector<ChartPoint> TimeBaseChooser::localPoints() const {
    std::vector<ChartPoint> points = points_;
    if (base_.IsCardClock())
        return points;
    const ReadingTimeTexts texts =
        ReadingTimes(window_.download, static_cast<int>(points.size()), base_, window_.locale);
    for (std::size_t i = 0; i < points.size() && i < texts.labels.size(); ++i)
        points[i].label = texts.labels[i];
    return points;
}

void TimeBaseChooser::apply() {
    applyToGrid();
    applyCaption();
    if (!points_.empty()) {
        window_.Chart1->setReadings(localPoints());
    }
    const CellStore& cells = window_.StringGrid1->cells();
    const int last = cells.rowCount() - 1;
    if (statisticsShown_ && last >= 1) {
        // Start and stop are the first and last rows' Date and Time, as the parse takes them.
        setCaption(window_.Label7, fromUtf8(cells.cell(1, 1) + ","));
        setCaption(window_.Label8, fromUtf8(cells.cell(2, 1)));
        setCaption(window_.Label1, fromUtf8(cells.cell(1, last) + ","));
        setCaption(window_.Label11, fromUtf8(cells.cell(2, last)));
    }
    emit changed();
}

void TimeBaseChooser::applyToGrid() {
    DownloadState& state = window_.download;
    const ReadingTimeTexts texts =
        ReadingTimes(state, std::max(state.RecordCount, 1), base_, window_.locale);
    if (texts.dates.empty())
        return;  // no header yet
    CellStore& cells = window_.StringGrid1->cells();
    for (std::size_t i = 0; i < texts.dates.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        cells.setCell(1, row, texts.dates[i]);
        cells.setCell(2, row, texts.times[i]);
    }
    state.StartYearText = texts.startYear;
    state.StopYearText = texts.stopYear;
    window_.StringGrid1->refresh();
}

void TimeBaseChooser::applyCaption() {
    QLabel* label = window_.Label22;
    if (base_.IsCardClock()) {
        label->setToolTip(QString());
        setCaption(label, fromUtf8(std::string(kCardClockCaption)));
        return;
    }
    const auto around =
        FirstReadingTime(window_.download)
            .value_or(std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    const QString text = fromUtf8(TimeBaseCaption(base_, around));
    label->setToolTip(text);
    setCaption(label,
               QFontMetrics(label->font()).elidedText(text, Qt::ElideMiddle, kCaptionMaxWidth));
}

}  // namespace halvik
