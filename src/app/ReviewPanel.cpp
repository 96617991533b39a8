// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReviewPanel.h"

#include <QCategoryAxis>
#include <QChart>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScatterSeries>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cctype>
#include <chrono>

#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "app/ProfileEditor.h"
#include "app/TimeBaseChooser.h"
#include "logger/Conversions.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik {

namespace {

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}

QString Minutes(int minutes, double percent) {
    return QString("%1 min (%2 %)").arg(minutes).arg(percent, 0, 'f', 1);
}

std::string PidOf(const Record& record) {
    std::string pid;
    for (std::size_t i = 0; i < 5 && i < record.header.size(); ++i)
        pid += (i ? " " : "") + TwoDigitText(record.header[i]);
    return pid;
}

const QColor kLimitColour(0, 0, 200);
const QColor kRuleColour(200, 120, 0);
const QColor kOutsideColour(220, 0, 0);
// Where along the chart the range's labels sit: a label is centred on its point, so one at the
// very start would run over the axis' own numbers.
constexpr double kRangeLabelAt = 0.08;

}  // namespace

ReviewPanel::ReviewPanel(TForm3& window) : QObject(&window), window_(window) {
    // Between the record message and the distributor's panel, which takes what is left.
    QStatusBar* bar = window_.statusBar();
    const int at = std::max(0, bar->layout() ? 3 : 0);
    statusVerdict_ = new QLabel(&window_);
    statusVerdict_->setObjectName("ReviewVerdict");
    statusVerdict_->hide();
    button_ = new QToolButton(&window_);
    button_->setObjectName("ReviewButton");
    button_->setText("Limit profile: none");
    button_->setToolTip("Review the readings under a limit profile");
    button_->setAutoRaise(true);
    bar->insertWidget(at, button_);
    bar->insertWidget(at + 1, statusVerdict_);
    buildPanel();
    reloadProfiles();
    // The times in the panel and the status bar follow the window's time base.
    connect(window_.timeBase, &TimeBaseChooser::changed, this, [this] {
        fillPanel();
        redraw();
    });
    connect(button_, &QToolButton::clicked, this, [this] {
        panel_->show();
        panel_->raise();
    });
}

ReviewPanel::~ReviewPanel() = default;

void ReviewPanel::buildPanel() {
    panel_ = new QDialog(&window_, Qt::Tool);
    panel_->setObjectName("ReviewPanel");
    panel_->setWindowTitle("Review");
    auto* layout = new QVBoxLayout(panel_);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Limit profile:", panel_));
    chooser_ = new QComboBox(panel_);
    chooser_->setObjectName("ProfileChooser");
    chooser_->setMinimumWidth(220);
    top->addWidget(chooser_, 1);
    auto* reload = new QPushButton("Reload", panel_);
    reload->setToolTip("Read the profile files again");
    top->addWidget(reload);
    layout->addLayout(top);
    auto* actions = new QHBoxLayout;
    new_ = new QPushButton("New...", panel_);
    new_->setToolTip("Write a limit profile of your own");
    edit_ = new QPushButton("Edit...", panel_);
    duplicate_ = new QPushButton("Duplicate...", panel_);
    duplicate_->setToolTip("A copy of the chosen profile under a name of its own");
    delete_ = new QPushButton("Delete...", panel_);
    delete_->setToolTip("Delete the chosen profile's file");
    for (QPushButton* button : {new_, edit_, duplicate_, delete_})
        actions->addWidget(button);
    actions->addStretch(1);
    layout->addLayout(actions);
    problems_ = new QLabel(panel_);
    problems_->setWordWrap(true);
    problems_->setStyleSheet("color: #b00000");
    problems_->hide();
    layout->addWidget(problems_);
    verdict_ = new QLabel(panel_);
    verdict_->setObjectName("PanelVerdict");
    QFont bold = verdict_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    verdict_->setFont(bold);
    layout->addWidget(verdict_);
    summary_ = new QLabel(panel_);
    summary_->setObjectName("PanelSummary");
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    auto table = [this, layout](const QString& title, const QStringList& headers) {
        layout->addWidget(new QLabel(title, panel_));
        auto* t = new QTableWidget(0, static_cast<int>(headers.size()), panel_);
        t->setHorizontalHeaderLabels(headers);
        t->verticalHeader()->hide();
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->setSelectionMode(QAbstractItemView::SingleSelection);
        t->horizontalHeader()->setStretchLastSection(true);
        layout->addWidget(t);
        return t;
    };
    rules_ = table("Alarm rules", {"Rule", "Status", "Triggered", "Total", "Longest", "Runs"});
    excursions_ = table("Excursions (choose one to see it)",
                        {"Side", "Start", "End", "Minutes", "Peak", "Lowest", "Highest"});
    panel_->resize(640, 480);

    connect(chooser_, &QComboBox::currentIndexChanged, this, [this](int) {
        if (filling_)
            return;
        runHandler(&window_, [this] { choose(chooser_->currentData().toString()); });
    });
    connect(reload, &QPushButton::clicked, this,
            [this] { runHandler(&window_, [this] { reloadProfiles(); }); });
    connect(new_, &QPushButton::clicked, this,
            [this] { runHandler(&window_, [this] { newProfile(); }); });
    connect(edit_, &QPushButton::clicked, this,
            [this] { runHandler(&window_, [this] { editChosen(); }); });
    connect(duplicate_, &QPushButton::clicked, this,
            [this] { runHandler(&window_, [this] { duplicateChosen(); }); });
    connect(delete_, &QPushButton::clicked, this,
            [this] { runHandler(&window_, [this] { deleteChosen(); }); });
    connect(excursions_, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto rows = excursions_->selectionModel()->selectedRows();
        if (!rows.isEmpty() && !filling_)
            runHandler(&window_, [this, row = rows.front().row()] { selectExcursion(row); });
    });
}

void ReviewPanel::reloadProfiles() {
    profiles_ = ListProfiles(ProfileFolderPath());
    // A profile folder that cannot be read, or a file that cannot be used, is said once here;
    // the presets stay on offer.
    QStringList said;
    for (const std::string& problem : profiles_.problems)
        said << Utf8(problem);
    bool changed = false;
    if (profile_) {
        const auto same = std::find_if(profiles_.profiles.begin(), profiles_.profiles.end(),
                                       [this](const NamedProfile& named) {
                                           return named.profile.name == profile_->profile.name;
                                       });
        if (same == profiles_.profiles.end()) {
            // Its file is gone or no longer reads: the review keeps the profile it was made
            // under rather than changing behind the user's back.
            profiles_.profiles.push_back(*profile_);
            said << Utf8("The profile '" + profile_->profile.name +
                         "' stays chosen as it was read before.");
        } else {
            changed = !(same->profile == profile_->profile);
            profile_ = *same;
        }
    }
    listProblems_ = said;
    showProblems();
    filling_ = true;
    chooser_->clear();
    chooser_->addItem("(no profile)", QString());
    for (const NamedProfile& named : profiles_.profiles)
        chooser_->addItem(Utf8(named.profile.name) + (named.preset ? "  (preset)" : ""),
                          Utf8(named.profile.name));
    const int at = profile_ ? chooser_->findData(Utf8(profile_->profile.name)) : 0;
    chooser_->setCurrentIndex(std::max(0, at));
    filling_ = false;
    updateButtons();
    if (changed)
        review();
}

void ReviewPanel::rememberRename(const std::string& from, const std::string& to) {
    try {
        RenameRememberedProfile(ProfileFolderPath(), from, to);
    } catch (const ProfileError& e) {
        sayMemoryProblem(e);
    }
}

void ReviewPanel::sayMemoryProblem(const ProfileError& e) {
    // Not remembering is no reason to stop reviewing; it is said once, under the chooser, with
    // the folder's other trouble.
    if (memoryProblem_.isEmpty()) {
        memoryProblem_ = "The card's profile cannot be remembered: " + Utf8(e.what());
        showProblems();
    }
}

void ReviewPanel::showProblems() {
    QStringList said = listProblems_;
    if (!memoryProblem_.isEmpty())
        said << memoryProblem_;
    problems_->setText(said.join("\n"));
    problems_->setVisible(!said.isEmpty());
}

void ReviewPanel::updateButtons() {
    const bool user = profile_ && !profile_->preset;
    edit_->setEnabled(profile_.has_value());
    edit_->setText(profile_ && profile_->preset ? "Duplicate to edit..." : "Edit...");
    edit_->setToolTip(profile_ && profile_->preset
                          ? "Presets cannot be changed: edit a copy of this one"
                          : "Change the chosen profile");
    duplicate_->setEnabled(profile_.has_value());
    delete_->setEnabled(user);
}

ProfileEditor* ReviewPanel::openEditor(const ProfileDraft& draft,
                                       const std::filesystem::path& file) {
    if (editor_)
        editor_->close();
    editor_ = new ProfileEditor(panel_, draft, file, profiles_.profiles, ProfileFolderPath());
    editor_->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor_, &ProfileEditor::saved, this, [this, file](const QString& name) {
        runHandler(&window_, [&] { profileSaved(name, file); });
    });
    editor_->open();
    return editor_;
}

void ReviewPanel::profileSaved(const QString& name, const std::filesystem::path& file) {
    // The edited profile's old version is no longer the one to keep chosen; renamed, the cards
    // reviewed with it stay with it.
    if (!file.empty()) {
        for (const NamedProfile& named : profiles_.profiles)
            if (named.file == file && Utf8(named.profile.name) != name)
                rememberRename(named.profile.name, name.toStdString());
    }
    if (profile_ && !file.empty() && profile_->file == file)
        profile_.reset();
    reloadProfiles();
    choose(name);
}

ProfileEditor* ReviewPanel::newProfile() {
    return openEditor({}, {});
}

ProfileEditor* ReviewPanel::editChosen() {
    if (!profile_)
        return nullptr;
    if (profile_->preset)
        return duplicateChosen();
    return openEditor(DraftOf(profile_->profile), profile_->file);
}

ProfileEditor* ReviewPanel::duplicateChosen() {
    if (!profile_)
        return nullptr;
    ProfileDraft draft = DraftOf(profile_->profile);
    const auto taken = [this](const std::string& name) {
        return std::any_of(profiles_.profiles.begin(), profiles_.profiles.end(),
                           [&](const NamedProfile& named) { return named.profile.name == name; });
    };
    draft.name = profile_->profile.name + " copy";
    for (int n = 2; taken(draft.name); ++n)
        draft.name = profile_->profile.name + " copy " + std::to_string(n);
    return openEditor(draft, {});
}

QMessageBox* ReviewPanel::deleteChosen() {
    if (!profile_ || profile_->preset)
        return nullptr;
    auto* box = new QMessageBox(QMessageBox::Question, "Delete limit profile",
                                Utf8("Delete the profile '" + profile_->profile.name +
                                     "' and its file " + profile_->file.string() + "?"),
                                QMessageBox::Yes | QMessageBox::No, panel_);
    box->setObjectName("DeleteProfileBox");
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, chosen = *profile_](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        runHandler(&window_, [&] {
            DeleteProfile(chosen);
            rememberRename(chosen.profile.name, "");
            if (profile_ && profile_->file == chosen.file)
                profile_.reset();
            reloadProfiles();
            choose(profile_ ? Utf8(profile_->profile.name) : QString());
        });
    });
    box->open();
    return box;
}

bool ReviewPanel::choose(const QString& name) {
    std::optional<NamedProfile> chosen;
    if (!name.isEmpty()) {
        const std::string wanted = name.toStdString();
        for (const NamedProfile& named : profiles_.profiles)
            if (named.profile.name == wanted)
                chosen = named;
        if (!chosen)
            return false;
    }
    profile_ = chosen;
    filling_ = true;
    chooser_->setCurrentIndex(std::max(0, profile_ ? chooser_->findData(name) : 0));
    filling_ = false;
    button_->setText("Limit profile: " + (profile_ ? name : QString("none")));
    updateButtons();
    if (record_ && !pid_.empty()) {
        try {
            RememberProfile(ProfileFolderPath(), pid_, profile_ ? profile_->profile.name : "");
        } catch (const ProfileError& e) {
            sayMemoryProblem(e);
        }
    }
    review();
    return true;
}

void ReviewPanel::setShown(const Record& record, TemperatureUnit valuesUnit, bool download) {
    record_ = record;
    pid_ = PidOf(record);
    valuesUnit_ = valuesUnit;
    if (download) {
        if (const auto remembered = RememberedProfile(ProfileFolderPath(), pid_)) {
            const std::string keep = pid_;
            pid_.clear();  // choosing the remembered profile need not write it again
            const bool chosen = choose(Utf8(*remembered));
            pid_ = keep;
            if (chosen)
                return;
            // A remembered profile that is no longer on offer: reviewed under the one chosen.
        }
    }
    review();
}

void ReviewPanel::clear() {
    record_.reset();
    pid_.clear();
    review();
}

void ReviewPanel::review() {
    result_.reset();
    if (profile_ && record_) {
        const int rows = window_.StringGrid1->cells().rowCount() - 1;
        result_ =
            Review(CelsiusGridValues(record_->readings, std::max(0, rows)), profile_->profile);
    }
    fillPanel();
    redraw();
}

QString ReviewPanel::timeText(int index, bool intervalEnd) const {
    const auto first = record_ ? RecordFirstReading(*record_) : std::nullopt;
    if (!first || index < 0)
        return "unknown";
    const auto moment =
        *first + std::chrono::minutes(kReviewReadingMinutes * (index + intervalEnd));
    // In the clock the grid shows. A zone's time carries its abbreviation: the panel and the
    // status bar stand apart from the caption that names the zone, and in the hour repeated
    // when the clocks go back only the abbreviation tells the two times apart.
    const TimeBase& base = window_.timeBase->base();
    LocalTime local;
    try {
        local = TimeConverter(base).Convert(moment);
    } catch (const TimeBaseError&) {
        return "unknown";  // the zone left the database since it was chosen
    }
    std::string month = window_.locale.shortMonthNames[static_cast<std::size_t>(local.month - 1)];
    for (char& c : month)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    QString text = QString("%1 %2 %3 %4%5%6")
                       .arg(local.day, 2, 10, QChar('0'))
                       .arg(Utf8(month))
                       .arg(local.year % 100, 2, 10, QChar('0'))
                       .arg(local.hour, 2, 10, QChar('0'))
                       .arg(Utf8(window_.locale.timeSeparator))
                       .arg(local.minute, 2, 10, QChar('0'));
    if (!base.IsCardClock())
        text += " " + Utf8(local.abbreviation);
    return text;
}

QString ReviewPanel::verdictText() const {
    if (!result_)
        return {};
    QString text = VerdictText(result_->verdict);
    if (result_->firstTriggered >= 0) {
        const RuleStatus& first = result_->rules[static_cast<std::size_t>(result_->firstTriggered)];
        text += ": " + Utf8(RuleLabel(first.rule)) + ", triggered " +
                timeText(first.triggerIndex, true);
    }
    return text;
}

void ReviewPanel::fillPanel() {
    filling_ = true;
    rules_->setRowCount(0);
    excursions_->setRowCount(0);
    const QString verdict = verdictText();
    const bool alarm = result_ && result_->verdict == Verdict::Alarm;
    const QString colour = alarm ? "color: #c00000" : "color: #006000";
    verdict_->setText(result_ ? verdict
                              : (profile_ ? "Nothing shown to review" : "No limit profile chosen"));
    verdict_->setStyleSheet(result_ ? colour : QString());
    statusVerdict_->setText(" " + verdict + " ");
    statusVerdict_->setStyleSheet(colour + "; font-weight: bold");
    statusVerdict_->setVisible(result_.has_value());
    if (!result_) {
        summary_->clear();
        filling_ = false;
        return;
    }
    const ReviewResult& r = *result_;
    const LimitProfile& p = r.profile;
    QString range = "none";
    if (p.low && p.high)
        range = Utf8(ThresholdText(*p.low) + " to " + ThresholdText(*p.high) + " \u00b0C");
    else if (p.low)
        range = Utf8("from " + ThresholdText(*p.low) + " \u00b0C");
    else if (p.high)
        range = Utf8("up to " + ThresholdText(*p.high) + " \u00b0C");
    summary_->setText("Range " + range + "\nTime in range " +
                      Minutes(r.inRangeMinutes, r.inRangePercent) + ", above " +
                      Minutes(r.aboveMinutes, r.abovePercent) + ", below " +
                      Minutes(r.belowMinutes, r.belowPercent));
    auto cell = [](QTableWidget* t, int row, int column, const QString& text) {
        t->setItem(row, column, new QTableWidgetItem(text));
    };
    rules_->setRowCount(static_cast<int>(r.rules.size()));
    for (int i = 0; i < static_cast<int>(r.rules.size()); ++i) {
        const RuleStatus& s = r.rules[static_cast<std::size_t>(i)];
        cell(rules_, i, 0, Utf8(RuleLabel(s.rule)));
        cell(rules_, i, 1, s.triggered ? "ALARM" : "ok");
        cell(rules_, i, 2, s.triggered ? timeText(s.triggerIndex, true) : QString("-"));
        if (s.rule.kind == RuleKind::Mkt) {
            cell(rules_, i, 3, s.mkt ? Utf8("MKT " + ThresholdText(*s.mkt) + " \u00b0C") : "-");
        } else {
            cell(rules_, i, 3, QString("%1 min").arg(s.totalMinutes));
            cell(rules_, i, 4, QString("%1 min").arg(s.longestMinutes));
            cell(rules_, i, 5, QString::number(s.runs));
        }
    }
    excursions_->setRowCount(static_cast<int>(r.excursions.size()));
    auto value = [](const std::optional<double>& v) {
        return v ? Utf8(ThresholdText(*v) + " \u00b0C") : QString("-");
    };
    for (int i = 0; i < static_cast<int>(r.excursions.size()); ++i) {
        const ReviewExcursion& e = r.excursions[static_cast<std::size_t>(i)];
        cell(excursions_, i, 0, e.above ? "above" : "below");
        cell(excursions_, i, 1, timeText(e.first, false));
        cell(excursions_, i, 2, timeText(e.last, true));
        cell(excursions_, i, 3, QString::number(e.minutes()));
        cell(excursions_, i, 4, value(e.peak));
        cell(excursions_, i, 5, value(e.lowest));
        cell(excursions_, i, 6, value(e.highest));
    }
    rules_->resizeColumnsToContents();
    excursions_->resizeColumnsToContents();
    filling_ = false;
}

double ReviewPanel::shownValue(double celsius) const {
    return valuesUnit_ == TemperatureUnit::Fahrenheit ? celsius * 1.8 + 32.0 : celsius;
}

void ReviewPanel::removeChartItems() {
    QChart* chart = window_.Chart1->chart();
    for (QAbstractSeries* series : lines_) {
        chart->removeSeries(series);
        delete series;
    }
    lines_.clear();
}

void ReviewPanel::redraw() {
    const bool drawn = !lines_.empty();
    removeChartItems();
    TemperatureChart* chart = window_.Chart1;
    // Back to the chart's own full view of the readings (the unit's range, widened for them);
    // a chart that never had lines is left as the user zoomed it.
    if (drawn || result_)
        chart->setUnit(chart->unit());
    if (result_)
        drawChartItems();
}

void ReviewPanel::drawChartItems() {
    TemperatureChart* view = window_.Chart1;
    QChart* chart = view->chart();
    const QLineSeries* readings = view->readingSeries();
    const int count = readings ? static_cast<int>(readings->count()) : 0;
    if (count == 0)
        return;
    auto attach = [&](QAbstractSeries* series) {
        chart->addSeries(series);
        series->attachAxis(view->bottomAxis());
        series->attachAxis(view->leftAxis());
        for (QLegendMarker* marker : chart->legend()->markers(series))
            marker->setVisible(false);
        lines_.push_back(series);
    };
    double low = view->leftAxis()->min(), high = view->leftAxis()->max();
    // The range's labels at the left end, the rules' further right: a rule on a range end
    // keeps both readable.
    auto line = [&](double celsius, const QString& label, const QColor& colour, double at) {
        const double y = shownValue(celsius);
        auto* series = new QLineSeries;
        series->append(0, y);
        series->append(std::max(1, count - 1), y);
        QPen pen(colour);
        pen.setWidthF(1.2);
        pen.setStyle(Qt::DashLine);
        series->setPen(pen);
        attach(series);
        // The label once, on an invisible point.
        auto* tag = new QScatterSeries;
        tag->append(at * std::max(1, count - 1), y);
        tag->setMarkerSize(1);
        tag->setColor(Qt::transparent);
        tag->setBorderColor(Qt::transparent);
        // A profile is in °C; on a °F chart the line's place is said in °F as well.
        tag->setPointLabelsFormat(valuesUnit_ == TemperatureUnit::Fahrenheit
                                      ? label + QString(" (%1 \u00b0F)").arg(y, 0, 'f', 1)
                                      : label);
        tag->setPointLabelsColor(colour);
        tag->setPointLabelsVisible(true);
        tag->setPointLabelsClipping(false);
        attach(tag);
        low = std::min(low, y);
        high = std::max(high, y);
    };
    const LimitProfile& p = result_->profile;
    if (p.high)
        line(*p.high, Utf8("high " + ThresholdText(*p.high) + " \u00b0C"), kLimitColour,
             kRangeLabelAt);
    if (p.low)
        line(*p.low, Utf8("low " + ThresholdText(*p.low) + " \u00b0C"), kLimitColour,
             kRangeLabelAt);
    for (const AlarmRule& rule : p.rules)
        if (rule.kind != RuleKind::Mkt)
            line(rule.threshold, Utf8(RuleLabel(rule)), kRuleColour, 0.55);

    // Every reading stays drawn; those outside the range are marked on top of the line.
    auto* marks = new QScatterSeries;
    marks->setMarkerSize(6);
    marks->setColor(kOutsideColour);
    marks->setBorderColor(kOutsideColour);
    QList<QPointF> points;
    for (const ReviewExcursion& e : result_->excursions)
        for (int i = e.first; i <= e.last && i < count; ++i)
            points.append(readings->at(i));
    marks->replace(points);
    attach(marks);

    // Widened so that every line shows, with a little room above and below.
    const double margin = std::max(0.5, (high - low) * 0.03);
    if (low < view->leftAxis()->min() || high > view->leftAxis()->max())
        view->leftAxis()->setRange(std::min(view->leftAxis()->min(), low - margin),
                                   std::max(view->leftAxis()->max(), high + margin));
}

void ReviewPanel::selectExcursion(int index) {
    if (!result_ || index < 0 || index >= static_cast<int>(result_->excursions.size()))
        return;
    const ReviewExcursion& e = result_->excursions[static_cast<std::size_t>(index)];
    TemperatureChart* chart = window_.Chart1;
    // Through the chart's own zoom first, so that its undo button returns to the whole download.
    if (!chart->isZoomed())
        chart->zoomIn();
    const int pad = std::max(2, (e.last - e.first + 1) / 2);
    chart->bottomAxis()->setRange(std::max(0, e.first - pad), e.last + pad);
    window_.StringGrid1->selectRowRange(e.first + 1, e.last + 1);
    if (excursions_->currentRow() != index) {
        filling_ = true;
        excursions_->selectRow(index);
        filling_ = false;
    }
}

}  // namespace halvik
