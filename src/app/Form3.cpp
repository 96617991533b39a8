// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's logic: the handlers of the buttons, the card link's socket notifier and
// timer, and what the download flow shows. The controls themselves are made in Form3Layout.cpp.

#include "app/Form3.h"
#include "app/RecordReportButton.h"
#include "app/RecordsBrowser.h"
#include "app/ReviewPanel.h"
#include "app/TimeBaseChooser.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

#include "app/ErrorBox.h"
#include "app/UiMessages.h"
#include "app/WindowRecords.h"
#include "download/CardParse.h"
#include "download/KeptDownload.h"
#include "logger/CardIdentity.h"
#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LogClock.h"
#include "logger/Reading.h"
#include "report/Distributor.h"
#include "report/qt/Logo.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/SystemLocale.h"
#include "views/widgets/TemperatureChart.h"

// Resources of a static library are registered by hand (outside any namespace).
static void initHalvikResources() {
    Q_INIT_RESOURCE(app);
    halvik::registerLogoResource();
}

namespace halvik {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

}  // namespace

// The download flow's requests, carried out on the window.
class TForm3::FlowSink : public DownloadFlow::Sink {
  public:
    explicit FlowSink(TForm3& window) : window_(window) {}
    bool SendCommand(uint8_t command, std::string& reason) override {
        return window_.link_->SendCommand(command, reason);
    }
    void ShowHeader(const HeaderResult& header) override { window_.showHeader(header); }
    void ShowReadings(const ParseResult& result) override { window_.showReadings(result); }
    void ShowView(const DownloadView& view) override { window_.showView(view); }
    void ShowProblem(const std::string& message) override { window_.deferError(fromUtf8(message)); }
    void DownloadEnded(const DownloadEnd& end) override { window_.records->keep(end); }

  private:
    TForm3& window_;
};

TForm3::TForm3(IHidPlatform& platform, QWidget* parent) : QMainWindow(parent), platform_(platform) {
    initHalvikResources();
    locale = systemLocaleSettings();

    // Calls handed over from reader threads (and the controller's first rebuild) run on Qt's
    // event loop. A handler that fails inside a hand-over has its message shown afterwards.
    mainThread_.SetWakeup([this] {
        QMetaObject::invokeMethod(
            this, [this] { runHandler(this, [this] { mainThread_.RunPending(); }); },
            Qt::QueuedConnection);
    });
    mainThread_.SetExceptionHandler([this](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            deferError(QString::fromUtf8(e.what()));
        } catch (...) {
            deferError(QStringLiteral("An unexpected error occurred."));
        }
    });

    createControls();
    flowSink_ = std::make_unique<FlowSink>(*this);
    flow_ = std::make_unique<DownloadFlow>(download, StringGrid1->cells(), locale, *flowSink_);
    userMessages_ = std::make_unique<SinkUserMessages>();
    StringGrid1->setUserMessages(userMessages_.get());

    // The card comes when the event loop first runs the hand-over's calls.
    link_ = std::make_unique<CardLink>(platform_, mainThread_, *flow_, CardLink::Choice::FirstCard);
    link_->changed = [this] { UpdateControls(); };
    watchDeviceChanges();

    connectHandlers();
    runHandler(this, [this] { FormCreate(); });
}

TForm3::~TForm3() {
    // A viewer still being started reports to the window when it ends: not to one that is going
    // (its status label may be gone before the viewer's process object is).
    for (QProcess* viewer : findChildren<QProcess*>()) {
        viewer->disconnect(this);
    }
    records->waitForKeeping();
    FormDestroy();
    link_.reset();
}

void TForm3::watchDeviceChanges() {
    const int fd = link_->NotificationFd();
    if (fd < 0) {
        return;
    }
    deviceNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(deviceNotifier_, &QSocketNotifier::activated, this,
            [this] { runHandler(this, [this] { link_->HandleNotification(); }); });
}

void TForm3::connectHandlers() {
    auto on = [this](QPushButton* button, void (TForm3::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runHandler(this, [this, handler] { (this->*handler)(); }); });
    };
    on(BitBtn1, &TForm3::BitBtn1Click);
    on(BitBtn2, &TForm3::BitBtn2Click);
    on(BitBtn3, &TForm3::BitBtn3Click);
    on(BitBtn4, &TForm3::BitBtn4Click);
    on(BitBtn5, &TForm3::BitBtn5Click);
    on(BitBtn6, &TForm3::BitBtn6Click);
    on(BitBtn9, &TForm3::BitBtn9Click);
    on(BitBtn10, &TForm3::BitBtn10Click);
    on(BitBtn11, &TForm3::BitBtn11Click);
    on(BitBtn12, &TForm3::BitBtn12Click);
    records = new WindowRecords(*this);
    recordReport = new RecordReportButton(*this);
    timeBase = new TimeBaseChooser(*this);
    reviewPanel = new ReviewPanel(*this);
    connect(RadioButton1, &QRadioButton::clicked, this,
            [this] { runHandler(this, [this] { RadioButton1Click(); }); });
    connect(RadioButton2, &QRadioButton::clicked, this,
            [this] { runHandler(this, [this] { RadioButton2Click(); }); });
    connect(Timer1, &QTimer::timeout, this,
            [this] { runHandler(this, [this] { Timer1Timer(); }); });

    // Records: open (Ctrl+O), export the readings as CSV (Ctrl+E), or drop a record file.
    setAcceptDrops(true);
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this,
            [this] { runHandler(this, [this] { records->openDialog(); }); });
    AddRecordsBrowserControls(*this);  // Ctrl+L and the Records button
    auto* exportKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    connect(exportKey, &QShortcut::activated, this,
            [this] { runHandler(this, [this] { records->exportCsv(); }); });
}

void TForm3::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activated_) {
        activated_ = true;
        runHandler(this, [this] { FormActivate(); });
    }
    placeLogo();
}

void TForm3::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placeLogo();
}

void TForm3::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        runHandler(this, [this] { FormDestroy(); });
    }
}

// ---- Life of the window ----

void TForm3::FormCreate() {
    StatusBar1Panels[2]->setText(QString::fromUtf8(kDistributorWebAddress) + " ");
}

void TForm3::FormActivate() {
    link_->Announce();
    UpdateControls();
    WriteGridCaptions(StringGrid1->cells(), TemperatureUnit::Celsius);
    for (int column = 0; column < CellStore::kColumns; ++column) {
        StringGrid1->setGridColumnWidth(column, DataGrid::kColumnWidths[column]);
    }
    StringGrid1->refresh();
    setUnitCaptions(true);
}

void TForm3::FormDestroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    Timer1->stop();
    // Giving the card back stops its reader while running handed-over calls; the handlers must
    // no longer touch the window's controls then.
    link_->Close();
}

// ---- The card ----

// After each change of the devices plugged in: the timer runs only while the download wants it.
void TForm3::UpdateControls() {
    if (!link_->TicksWanted()) {
        Timer1->stop();
    }
}

void TForm3::showHeader(const HeaderResult& header) {
    if (header.accepted) {
        shownTexts_.pid = header.pidLabel;
        shownTexts_.dataPoints = header.dataPointsLabel;
        setCaption(Label6, fromUtf8(header.pidLabel));
        setCaption(Label9, fromUtf8(header.dataPointsLabel));
        StringGrid1->refresh();
        timeBase->headerShown();
    }
}

// ---- The download ----

void TForm3::BitBtn1Click() {
    const TemperatureUnit unit =
        RadioButton1->isChecked() ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
    if (!link_->Download(unit)) {
        return;
    }
    records->downloadStarted();
    StringGrid1->refresh();
    // The readings may all have arrived already (a card as fast as the bus): tick only while
    // the download still waits for them.
    if (link_->TicksWanted()) {
        Timer1->start(DownloadFlow::kTickMs);
    }
}

void TForm3::Timer1Timer() {
    link_->Tick();
    if (!link_->TicksWanted()) {
        Timer1->stop();
    }
}

void TForm3::showReadings(const ParseResult& result) {
    StringGrid1->refresh();
    Chart1->setReadings(timeBase->readingsShown(result));
    reviewPanel->clear();
    if (result.hasStatistics) {
        const StatisticsCaptions& s = result.statistics;
        shownTexts_.statistics = s;
        setCaption(Label12, fromUtf8(s.maximum));
        setCaption(Label13, fromUtf8(s.minimum));
        setCaption(Label14, fromUtf8(s.mkt));
        setCaption(Label7, fromUtf8(s.startDate));
        setCaption(Label8, fromUtf8(s.startTime));
        setCaption(Label1, fromUtf8(s.stopDate));
        setCaption(Label11, fromUtf8(s.stopTime));
        setCaption(Label19, fromUtf8(s.elapsed));
        setCaption(Label23, fromUtf8(s.leftOut));
        placeUnitCaptions();
        if (!s.impossibleMessage.empty()) {
            deferError(fromUtf8(s.impossibleMessage));
        }
    }
}

void TForm3::showView(const DownloadView& view) {
    setStatusText(QString::fromStdString(view.connection));
    if (Label10->text() != fromUtf8(view.status)) {
        setCaption(Label10, fromUtf8(view.status));
    }
    ProgressBar1->setValue(view.progress);
    if (view.busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
    BitBtn1->setEnabled(view.downloadEnabled);
    setResultButtonsEnabled(view.resultsEnabled);
    RadioButton1->setEnabled(view.unitEnabled);
    RadioButton2->setEnabled(view.unitEnabled);
    if (!flow_->TicksWanted()) {
        Timer1->stop();
    }
}

// ---- Unit switch and chart ----

void TForm3::RadioButton1Click() {
    StringGrid1->cells().setCell(3, 0, TemperatureCaption(TemperatureUnit::Celsius));
    StringGrid1->refresh();
    setUnitCaptions(true);
}

void TForm3::RadioButton2Click() {
    StringGrid1->cells().setCell(3, 0, TemperatureCaption(TemperatureUnit::Fahrenheit));
    StringGrid1->refresh();
    setUnitCaptions(false);
}

void TForm3::setUnitCaptions(bool celsius) {
    const TemperatureUnit unit = celsius ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
    Chart1->setUnit(unit);
    if (reviewPanel) {
        reviewPanel->redraw();
    }
    const QString text = QString::fromUtf8(UnitText(unit));
    setCaption(Label4, text);
    setCaption(Label5, text);
    setCaption(Label20, text);
    RpLabel24 = text;
    RpLabel25 = text;
    RpLabel29 = text;
}

void TForm3::BitBtn3Click() {
    Chart1->undoZoom();
}
void TForm3::BitBtn4Click() {
    Chart1->zoomIn();
}
void TForm3::BitBtn5Click() {
    Chart1->zoomOut();
}

// ---- Copy ----

void TForm3::BitBtn11Click() {
    StringGrid1->copyAll(TextToInt(download.RecordCountText));
}
void TForm3::BitBtn12Click() {
    StringGrid1->copySelection();
}

// ---- Records ----

bool TForm3::openRecord(const QString& path, std::optional<TemperatureUnit> unit) {
    return records->open(QFile::encodeName(path).toStdString(), unit);
}

bool TForm3::openRecordFile(const std::filesystem::path& path,
                            std::optional<TemperatureUnit> unit) {
    return records->open(path, unit);
}

void TForm3::showKept(const Record& record, TemperatureUnit unit) {
    const bool celsius = unit == TemperatureUnit::Celsius;
    RadioButton1->setChecked(celsius);
    RadioButton2->setChecked(!celsius);
    setUnitCaptions(celsius);
    flow_->ShowKept(HeaderReportOf(record), record.readings, unit);
    reviewPanel->setShown(record, unit, false);
}

void TForm3::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void TForm3::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) {
        return;
    }
    event->acceptProposedAction();
    const QUrl& url = urls.first();
    runHandler(this, [this, url] { records->openUrl(url); });
}

void TForm3::showStatusMessage(const QString& text) {
    StatusMessage->setText(" " + text + " ");
}

// ---- Helpers ----

void TForm3::setCaption(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

void TForm3::setStatusText(const QString& text) {
    StatusBar1Panels[1]->setText(text);
}

void TForm3::setResultButtonsEnabled(bool enabled) {
    for (QPushButton* button :
         {BitBtn2, BitBtn3, BitBtn4, BitBtn5, BitBtn6, BitBtn9, BitBtn10, BitBtn11, BitBtn12}) {
        button->setEnabled(enabled);
    }
}

void TForm3::deferError(const QString& text) {
    QTimer::singleShot(0, this, [this, text] { showMessage(this, MessageKind::Error, text); });
}

}  // namespace halvik
