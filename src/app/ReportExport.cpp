// SPDX-License-Identifier: GPL-3.0-or-later
// Data Report (BitBtn9) and Chart Print (BitBtn6): the two report pages filled from the window,
// written as PDF files in the current directory and opened in the desktop's viewer.

#include <QDir>
#include <QProcess>
#include <QUrl>

#include "app/ExportComponents.h"
#include "app/Form3.h"
#include "app/WindowRecords.h"
#include "report/ReportTexts.h"
#include "report/qt/Logo.h"
#include "report/qt/ReportFiles.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik {

namespace {

// The desktop's "Open" (xdg-open) on a report just written to the current directory. The file
// is fine whatever happens here, so a launcher that is missing or finds no program for PDF
// files is no error: the status bar says where the report was written instead. xdg-open is run
// directly because its exit status is the only word on whether a program took the file.
void openInViewer(TForm3& window, const char* fileName) {
    ++window.exports().viewerStarts;
    const QString file = QDir::current().absoluteFilePath(QString::fromUtf8(fileName));
    const auto noViewer = [&window, file] {
        window.showStatusMessage(
            QStringLiteral("No program opened the report. It was written to %1").arg(file));
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

void TForm3::openReport(const QString& path) {
    openInViewer(*this, path.toUtf8().constData());
}

void TForm3::BitBtn9Click() {
    records->refuseAsOutput(kDataReportFileName);
    fillDataReport();
    ExportComponents& x = exports();
    writeReportPage(*x.RpReport1, x.RpPage1);
    openInViewer(*this, kDataReportFileName);
}

void TForm3::BitBtn6Click() {
    records->refuseAsOutput(kChartReportFileName);
    fillChartReport();
    ExportComponents& x = exports();
    writeReportPage(*x.RpReport2, x.RpPage2);
    openInViewer(*this, kChartReportFileName);
}

void TForm3::fillDataReport() {
    ExportComponents& x = exports();
    TRpPage1& page = x.RpPage1;

    // Undo the zoom exactly as the undo-zoom button does: the report shows the whole chart.
    BitBtn3Click();

    // The logo, then the unzoomed chart, through the clipboard, which keeps the chart.
    x.PrintLogo = x.pictureClipboard().passThrough(toQImage(logoPicture()));
    page.RpImage1->SetPicture(toReportBitmap(x.PrintLogo));
    page.RpImage2->SetPicture(
        toReportBitmap(x.pictureClipboard().passThrough(Chart1->renderImage())));

    // The texts the window's labels were given, blanks and all.
    FillDataReportTexts(page, download, StringGrid1->cells(), shownTexts_, Chart1->unit(), locale);
    MarkChangedRecord(page, records->shownIntact());
}

void TForm3::fillChartReport() {
    ExportComponents& x = exports();
    TRpPage2& page = x.RpPage2;

    // The chart as it is zoomed now, then the logo, through the clipboard, which keeps the logo.
    page.RpImage3->SetPicture(
        toReportBitmap(x.pictureClipboard().passThrough(Chart1->renderImage())));
    x.PrintLogo = x.pictureClipboard().passThrough(toQImage(logoPicture()));
    page.RpImage4->SetPicture(toReportBitmap(x.PrintLogo));

    FillChartReportTexts(page, shownTexts_);
    MarkChangedRecord(page, records->shownIntact());
}

}  // namespace halvik
