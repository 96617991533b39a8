// The main window's logic: the card's states, the download staging and the handlers of the
// buttons. The controls themselves are made in Form3Layout.cpp.

#include "app/Form3.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <stdexcept>

#include "app/Distributor.h"
#include "app/ErrorBox.h"
#include "app/SystemLocale.h"
#include "app/UiMessages.h"
#include "devicelink/HidDevice.h"
#include "devicelink/HidDeviceController.h"
#include "logger/CardIdentity.h"
#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LogClock.h"
#include "logger/Reading.h"
#include "views/Download.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

// Resources of a static library are registered by hand (outside any namespace).
static void initHalvikResources() {
    Q_INIT_RESOURCE(app);
}

namespace halvik {

namespace {

constexpr const char* kNoCardAccessMessage =
    "The logger card is plugged in, but this user may not read from it or write to it. "
    "Install Halvik's udev rule (packaging/70-halvik-logger.rules, see the README), then plug the "
    "card in again.";

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

}  // namespace

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
    userMessages_ = std::make_unique<SinkUserMessages>();
    StringGrid1->setUserMessages(userMessages_.get());

    // The controller queues its first rebuild for when the event loop runs.
    HidDeviceController1 = std::make_unique<THidDeviceController>(platform_, mainThread_);
    HidDeviceController1->SetOnEnumerate([this](THidDevice* HidDev, int32_t Idx) {
        return HidDeviceController1Enumerate(HidDev, Idx);
    });
    HidDeviceController1->SetOnDeviceChange(
        [this](THidDeviceController* Sender) { HidDeviceController1DeviceChange(Sender); });
    watchDeviceChanges();

    connectHandlers();
    runHandler(this, [this] { FormCreate(); });
}

TForm3::~TForm3() {
    FormDestroy();
    HidDeviceController1.reset();
}

void TForm3::watchDeviceChanges() {
    const int fd = HidDeviceController1->NotificationFd();
    if (fd < 0) {
        return;
    }
    deviceNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(deviceNotifier_, &QSocketNotifier::activated, this,
            [this] { runHandler(this, [this] { HidDeviceController1->HandleNotification(); }); });
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
    on(BitBtn8, &TForm3::BitBtn8Click);
    on(BitBtn9, &TForm3::BitBtn9Click);
    on(BitBtn10, &TForm3::BitBtn10Click);
    on(BitBtn11, &TForm3::BitBtn11Click);
    on(BitBtn12, &TForm3::BitBtn12Click);
    connect(RadioButton1, &QRadioButton::clicked, this,
            [this] { runHandler(this, [this] { RadioButton1Click(); }); });
    connect(RadioButton2, &QRadioButton::clicked, this,
            [this] { runHandler(this, [this] { RadioButton2Click(); }); });
    connect(Timer1, &QTimer::timeout, this,
            [this] { runHandler(this, [this] { Timer1Timer(); }); });
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
    // Deleting the card stops its reader while running handed-over calls; the handlers must no
    // longer touch the window's controls then.
    THidDevice* card = pic18;
    pic18 = nullptr;
    if (card != nullptr) {
        card->SetOnData({});
        delete card;
    }
}

// ---- The card ----

bool TForm3::HidDeviceController1Enumerate(THidDevice* HidDev, int32_t Idx) {
    if (HidDev->Attributes().VendorID == kCardVendorId &&
        HidDev->Attributes().ProductID == kCardProductId) {
        HidDeviceController1->CheckOutByIndex(pic18, Idx);
    }
    return pic18 == nullptr;
}

void TForm3::HidDeviceController1DeviceChange(THidDeviceController*) {
    if (destroyed_) {
        return;
    }
    const bool cardStayed = pic18 != nullptr && pic18->IsPluggedIn();
    if (pic18 != nullptr && !pic18->IsPluggedIn()) {
        THidDevice* gone = pic18;
        pic18 = nullptr;
        delete gone;
    }
    if (pic18 == nullptr) {
        HidDeviceController1->Enumerate();
    }
    // While a download is staged, another device coming or going must not disturb the card:
    // re-sending the header command would hand the rest of the readings to the header handler.
    if (staging_ && cardStayed) {
        setStatusText("Connected");
        BitBtn1->setEnabled(true);
        return;
    }
    UpdateControls();
}

void TForm3::UpdateControls() {
    if (pic18 != nullptr) {
        setStatusText("Connected");
        BitBtn1->setEnabled(true);
        if (!pic18->HasReadWriteAccess()) {
            // Without the udev rule the card's node belongs to root: the card is listed, but
            // commands and readings cannot pass. Say so instead of waiting for a header that
            // never comes.
            deferError(QString::fromUtf8(kNoCardAccessMessage));
        }
        sendCommand(kCommandSendHeader);
        awaitingHeader_ = true;
        pic18->SetOnData([this](THidDevice* HidDev, uint8_t ReportID, const uint8_t* Data,
                                uint16_t Size) { ShowPID(HidDev, ReportID, Data, Size); });
    } else {
        setStatusText("Not Connected");
        BitBtn1->setEnabled(false);
        setResultButtonsEnabled(false);
        download.PidText.clear();
    }
}

void TForm3::sendCommand(uint8_t command) {
    pic18_OutputReport.LEDBits = command;
    towrite = pic18->Caps().OutputReportByteLength;
    const std::vector<uint8_t> bytes = CommandBytes(pic18_OutputReport, towrite);
    // The write's result is not checked: a card that did not take the command simply does not
    // answer, and the staging then ends in a failed parse.
    pic18->WriteFile(bytes.data(), static_cast<uint32_t>(bytes.size()), BytesWritten);
}

void TForm3::ShowPID(THidDevice*, uint8_t ReportID, const uint8_t* Data, uint16_t Size) {
    const HeaderResult header =
        halvik::ShowPID(download, StringGrid1->cells(), ReportID, Data, Size, locale);
    if (header.accepted) {
        awaitingHeader_ = false;
        setCaption(Label6, fromUtf8(header.pidLabel));
        setCaption(Label9, fromUtf8(header.dataPointsLabel));
        StringGrid1->refresh();
    }
    if (!header.problem.empty()) {
        deferError(fromUtf8(header.problem));
    }
}

void TForm3::ShowRead(THidDevice*, uint8_t, const uint8_t* Data, uint16_t Size) {
    halvik::ShowRead(download, Data, Size);
}

// ---- The download ----

void TForm3::BitBtn1Click() {
    StartLogClock(download);  // fails before anything else changes when no header came yet
    if (awaitingHeader_ && pic18 != nullptr) {
        // The card's answer to the header command is still on its way: it would arrive at the
        // download handler and shift every reading by a report.
        throw std::runtime_error(
            "The card has not sent its header yet. Please press DOWNLOAD again in a moment.");
    }
    const int count = TextToInt(download.RecordCountText);
    if (count == 0) {
        // An empty card: nothing to download, and no staging that could never end.
        setCaption(Label10, kNoReadingsText);
        return;
    }
    StringGrid1->cells().setCell(
        3, 0,
        TemperatureCaption(RadioButton1->isChecked() ? TemperatureUnit::Celsius
                                                     : TemperatureUnit::Fahrenheit));
    StringGrid1->refresh();
    ProgressBar1->setValue(0);
    if (parseFailed_) {
        // The bytes of a download whose parse failed are incomplete: start the stream afresh so
        // the card's new answer is cut from its first byte.
        download.DownloadText.clear();
    }
    Timer1->setInterval(TimerInterval(download));
    Timer1->start();
    setCursor(Qt::WaitCursor);
    setCaption(Label10, "Please Wait");
    staging_ = true;
    parseFailed_ = false;
    downloaded_ = false;
    if (pic18 != nullptr) {
        sendCommand(kCommandSendReadings);
        pic18->SetOnData([this](THidDevice* HidDev, uint8_t ReportID, const uint8_t* Data,
                                uint16_t Size) { ShowRead(HidDev, ReportID, Data, Size); });
    }
}

void TForm3::Timer1Timer() {
    const int position = std::min(ProgressBar1->value() + 10, ProgressBar1->maximum());
    ProgressBar1->setValue(position);
    if (position == 40) {
        try {
            BitBtn8Click();
        } catch (...) {
            abandonStaging();
            throw;  // to the error box
        }
        staging_ = false;
    } else if (position == 100) {
        setCaption(Label10, "Downloaded");
        unsetCursor();
        setResultButtonsEnabled(true);
        BitBtn1->setEnabled(false);
        RadioButton1->setEnabled(false);
        RadioButton2->setEnabled(false);
        staging_ = false;
        downloaded_ = true;
        Timer1->setInterval(std::max(Timer1->interval(), kDownloadedTickMs));
    }
}

void TForm3::abandonStaging() {
    // A parse that failed ends the staging: no "Downloaded", no result buttons, and DOWNLOAD
    // can be pressed again.
    Timer1->stop();
    staging_ = false;
    parseFailed_ = true;
    downloaded_ = false;
    ProgressBar1->setValue(0);
    unsetCursor();
    setCaption(Label10, kDownloadFailedText);
    setResultButtonsEnabled(false);
    BitBtn1->setEnabled(pic18 != nullptr);
}

void TForm3::BitBtn8Click() {
    const TemperatureUnit unit =
        RadioButton1->isChecked() ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
    ParseResult result;
    halvik::BitBtn8Click(download, StringGrid1->cells(), unit, locale, result);
    StringGrid1->refresh();
    Chart1->addReadings(result.points);
    if (result.hasStatistics) {
        const StatisticsCaptions& s = result.statistics;
        setCaption(Label12, fromUtf8(s.maximum));
        setCaption(Label13, fromUtf8(s.minimum));
        setCaption(Label14, fromUtf8(s.mkt));
        setCaption(Label7, fromUtf8(s.startDate));
        setCaption(Label8, fromUtf8(s.startTime));
        setCaption(Label1, fromUtf8(s.stopDate));
        setCaption(Label11, fromUtf8(s.stopTime));
        setCaption(Label19, fromUtf8(s.elapsed));
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
