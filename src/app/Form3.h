// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "devicelink/MainThread.h"
#include "download/CardLink.h"
#include "download/DownloadFlow.h"
#include "logger/DownloadState.h"
#include "logger/LocaleSettings.h"
#include "report/ReportTexts.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSocketNotifier;
class QTimer;

namespace halvik {

class DataGrid;
class IHidPlatform;
class SinkUserMessages;
class TemperatureChart;
class WindowRecords;
struct Record;
struct ExportComponents;
// Frees the print and report components (ReportExport.cpp).
struct ExportComponentsDeleter {
    void operator()(ExportComponents* components) const;
};

// Halvik's main window: every control of the window and the handlers named after their
// components and events. The download itself runs in a DownloadFlow joined to the card by a
// CardLink; the window turns its event loop into calls on them and shows what they say.
class TForm3 : public QMainWindow {
    Q_OBJECT

  public:
    // The window finds the card through `platform` (Linux hidraw in halvik, the in-memory card
    // in halvik-demo and the tests), which must outlive the window.
    explicit TForm3(IHidPlatform& platform, QWidget* parent = nullptr);
    ~TForm3() override;

    // The designed client area; controls keep these places when the window is maximised.
    static constexpr int kDesignedWidth = 1310;
    static constexpr int kDesignedHeight = 679;

    // Handlers. Each is entered through the error wrapper by its signal connection; tests
    // may call them directly.
    void FormCreate();
    void FormActivate();
    void FormDestroy();
    void UpdateControls();
    void BitBtn1Click();
    void Timer1Timer();
    void RadioButton1Click();
    void RadioButton2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn11Click();
    void BitBtn12Click();
    // Printing and the PDF reports (PrintActions.cpp, ReportExport.cpp).
    void BitBtn2Click();
    void BitBtn10Click();
    void BitBtn6Click();
    void BitBtn9Click();

    // Components, named as in the window's design.
    QWidget* client = nullptr;  // the client area holding every placed control
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // DOWNLOAD
    QProgressBar* ProgressBar1 = nullptr;
    DataGrid* StringGrid1 = nullptr;
    QPushButton* BitBtn2 = nullptr;   // Select & Print
    QPushButton* BitBtn10 = nullptr;  // Print All
    QPushButton* BitBtn11 = nullptr;  // Copy All
    QPushButton* BitBtn12 = nullptr;  // Select & Copy
    QPushButton* BitBtn9 = nullptr;   // Data Report
    QPushButton* BitBtn6 = nullptr;   // Chart Print
    QPushButton* BitBtn3 = nullptr;   // undo zoom
    QPushButton* BitBtn4 = nullptr;   // zoom in
    QPushButton* BitBtn5 = nullptr;   // zoom out
    QPushButton* BitBtn8 = nullptr;   // hidden
    TemperatureChart* Chart1 = nullptr;
    QLabel* Image1 = nullptr;
    QLineEdit* Edit1 = nullptr;  // hidden
    QTimer* Timer1 = nullptr;
    std::array<QLabel*, 3> StatusBar1Panels{};

    // Static captions.
    QLabel* Label21 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* StartDate = nullptr;
    QLabel* StopDate = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Meankinetic = nullptr;
    QLabel* DataPoint = nullptr;
    QLabel* Label22 = nullptr;
    // Value labels.
    QLabel* Label6 = nullptr;   // PID
    QLabel* Label7 = nullptr;   // start date
    QLabel* Label8 = nullptr;   // start time
    QLabel* Label1 = nullptr;   // stop date
    QLabel* Label11 = nullptr;  // stop time
    QLabel* Label19 = nullptr;  // elapsed time
    QLabel* Label12 = nullptr;  // maximum
    QLabel* Label13 = nullptr;  // minimum
    QLabel* Label14 = nullptr;  // mean kinetic temperature
    QLabel* Label9 = nullptr;   // data points
    QLabel* Label4 = nullptr;   // unit after the maximum
    QLabel* Label5 = nullptr;   // unit after the minimum
    QLabel* Label20 = nullptr;  // unit after the MKT
    QLabel* Label23 = nullptr;  // readings left out of the statistics; empty for most cards
    QLabel* Label10 = nullptr;  // download status

    // The unit labels of the data report page; the report export reads them.
    QString RpLabel24, RpLabel25, RpLabel29;

    // The report pages and reports, the printer and the print logo of the print and report
    // buttons, and their dialog and clipboard seams; made on first use (ReportExport.cpp).
    ExportComponents& exports();

    // The card (the first logger card plugged in) and the run's data.
    CardLink& cardLink() { return *link_; }
    DownloadState download;
    LocaleSettings locale;

    // Records: keeping every download, opening, dropping and exporting one (WindowRecords).
    WindowRecords* records = nullptr;
    // Shows the record in `path` as WindowRecords::open does (a name given as text, or as bytes
    // from a command line, which need not be valid UTF-8).
    bool openRecord(const QString& path, std::optional<TemperatureUnit> unit = std::nullopt);
    bool openRecordFile(const std::filesystem::path& path,
                        std::optional<TemperatureUnit> unit = std::nullopt);
    // Shows a kept download's bytes as if they had just arrived, in `unit`, with the unit switch
    // set to it.
    void showKept(const Record& record, TemperatureUnit unit);
    // The status bar's message: what became of the record, where a report went when no viewer
    // opened it. Empty at start.
    QLabel* StatusMessage = nullptr;
    void showStatusMessage(const QString& text);
    // The "Record Report" button (RecordReportButton.cpp).
    class RecordReportButton* recordReport = nullptr;
    // The time base the window shows times in (TimeBaseChooser.cpp).
    class TimeBaseChooser* timeBase = nullptr;
    // The limit-profile review: chooser, panel, chart lines, status (ReviewPanel.cpp).
    class ReviewPanel* reviewPanel = nullptr;
    // Opens a report just written at `path` as the reports' buttons do.
    void openReport(const QString& path);

    // The download: its phase (staging, downloaded, incomplete...) and what it shows.
    const DownloadFlow& flow() const { return *flow_; }
    bool isStaging() const { return flow_->Phase() == DownloadPhase::Staging; }
    bool isDownloaded() const { return flow_->Phase() == DownloadPhase::Downloaded; }

  protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void connectHandlers();
    void placeLogo();
    void setCaption(QLabel* label, const QString& text);
    void setStatusText(const QString& text);
    void setUnitCaptions(bool celsius);
    void placeUnitCaptions();
    void setResultButtonsEnabled(bool enabled);
    void fillDataReport();   // the Data Report's page from the window (ReportExport.cpp)
    void fillChartReport();  // the Chart Print's page
    void showView(const DownloadView& view);
    void showHeader(const HeaderResult& header);
    void showReadings(const ParseResult& result);
    class FlowSink;
    void deferError(const QString& text);
    void watchDeviceChanges();

    IHidPlatform& platform_;
    MainThreadQueue mainThread_;
    QSocketNotifier* deviceNotifier_ = nullptr;
    std::unique_ptr<SinkUserMessages> userMessages_;
    bool activated_ = false;
    bool destroyed_ = false;
    std::unique_ptr<FlowSink> flowSink_;
    std::unique_ptr<DownloadFlow> flow_;
    std::unique_ptr<CardLink> link_;  // after the flow: it goes first
    // What the value labels were given, for the report pages.
    ShownTexts shownTexts_;
    std::unique_ptr<ExportComponents, ExportComponentsDeleter> exports_;
};

}  // namespace halvik
