// Data Report (BitBtn9) and Chart Print (BitBtn6): the two report pages filled from the window,
// written as PDF files in the current directory and opened in the desktop's viewer.

#include <QDir>
#include <QMainWindow>
#include <QProcess>
#include <QStatusBar>
#include <QUrl>

#include "app/ExportComponents.h"
#include "app/Form3.h"
#include "app/Logo.h"
#include "logger/Conversions.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik {

namespace {

std::string text(const QString& caption) {
    return caption.toStdString();
}

// The first `count` characters of a UTF-8 text (all of a shorter one).
std::string leftCharacters(const std::string& utf8, int count) {
    return QString::fromStdString(utf8).left(count).toStdString();
}

void writeReport(TRpReport& report, TRpPage& page) {
    report.BeginDoc();
    report.Print(page);
    report.EndDoc();  // replaces the file; throws the file-creation error and writes nothing
}

// How long the status bar says where a report went when no viewer opened it.
constexpr int kNoViewerMessageMs = 60000;

// The desktop's "Open" (xdg-open) on a report just written to the current directory. The file
// is fine whatever happens here, so a launcher that is missing or finds no program for PDF
// files is no error: the status bar says where the report was written instead. xdg-open is run
// directly because its exit status is the only word on whether a program took the file.
void openInViewer(QMainWindow& window, const char* fileName) {
    const QString file = QDir::current().absoluteFilePath(QString::fromUtf8(fileName));
    const auto noViewer = [&window, file] {
        window.statusBar()->showMessage(
            QStringLiteral("No program opened the report. It was written to %1").arg(file),
            kNoViewerMessageMs);
    };
    auto* viewer = new QProcess(&window);
    viewer->setProcessChannelMode(QProcess::ForwardedChannels);
    viewer->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(viewer, &QProcess::errorOccurred, &window,
                     [viewer, noViewer](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             noViewer();
                             viewer->deleteLater();
                         }
                     });
    QObject::connect(viewer, &QProcess::finished, &window,
                     [viewer, noViewer](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0) {
                             noViewer();
                         }
                         viewer->deleteLater();
                     });
    // As a file URL, the form the desktop's "Open" passes on.
    viewer->start(QStringLiteral("xdg-open"),
                  {QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded())});
}

}  // namespace

void ExportComponentsDeleter::operator()(ExportComponents* components) const {
    delete components;
}

ExportComponents& TForm3::exports() {
    if (!exports_) {
        exports_.reset(new ExportComponents(this));
    }
    return *exports_;
}

void TForm3::BitBtn9Click() {
    ExportComponents& x = exports();
    TRpPage1& page = x.RpPage1;

    // Undo the zoom exactly as the undo-zoom button does: the report shows the whole chart.
    BitBtn3Click();

    // The logo, then the unzoomed chart, through the clipboard, which keeps the chart.
    x.PrintLogo = x.pictureClipboard().passThrough(toQImage(logoPicture()));
    page.RpImage1->SetPicture(toReportBitmap(x.PrintLogo));
    page.RpImage2->SetPicture(
        toReportBitmap(x.pictureClipboard().passThrough(Chart1->renderImage())));

    // The texts as the window shows them, blanks and all.
    const CellStore& cells = StringGrid1->cells();
    const int last = TextToInt(download.RecordCountText);
    page.RpLabel7->SetCaption(text(Label6->text()));
    page.RpLabel5->SetCaption(leftCharacters(cells.cell(1, 1), 8));
    page.RpLabel10->SetCaption(download.StartYearText + "," + cells.cell(2, 1));
    page.RpLabel6->SetCaption(leftCharacters(cells.cell(1, last), 8));
    page.RpLabel11->SetCaption(download.StopYearText + "," + cells.cell(2, last));
    page.RpLabel16->SetCaption(text(Label12->text()));
    page.RpLabel17->SetCaption(text(Label13->text()));
    page.RpLabel19->SetCaption(text(Label9->text()));
    page.RpLabel28->SetCaption(text(Label19->text()));
    page.RpLabel18->SetCaption(text(Label14->text()));
    // The units follow the unit switch.
    page.RpLabel24->SetCaption(text(RpLabel24));
    page.RpLabel25->SetCaption(text(RpLabel25));
    page.RpLabel29->SetCaption(text(RpLabel29));

    writeReport(*x.RpReport1, page);
    openInViewer(*this, kDataReportFileName);
}

void TForm3::BitBtn6Click() {
    ExportComponents& x = exports();
    TRpPage2& page = x.RpPage2;

    // The chart as it is zoomed now, then the logo, through the clipboard, which keeps the logo.
    page.RpImage3->SetPicture(
        toReportBitmap(x.pictureClipboard().passThrough(Chart1->renderImage())));
    x.PrintLogo = x.pictureClipboard().passThrough(toQImage(logoPicture()));
    page.RpImage4->SetPicture(toReportBitmap(x.PrintLogo));

    page.RpLabel21->SetCaption(text(Label6->text()));

    writeReport(*x.RpReport2, page);
    openInViewer(*this, kChartReportFileName);
}

}  // namespace halvik
