// SPDX-License-Identifier: GPL-3.0-or-later
// Data Report (BitBtn9) and Chart Print (BitBtn6): the two report pages filled from the window,
// written as PDF files in the current directory and opened in the desktop's viewer.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <stdexcept>

#include "app/ExportComponents.h"
#include "app/Form3.h"
#include "app/Logo.h"
#include "logger/Conversions.h"
#include "pdf/PdfStreams.h"
#include "report/Captions.h"
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

// A caption with the locale's decimal or time separator, as the report's code page can write it.
std::string withDecimals(const std::string& caption, const LocaleSettings& locale) {
    return WithSeparatorForCodePage(caption, locale.decimalSeparator, ".");
}
std::string withTimes(const std::string& caption, const LocaleSettings& locale) {
    return WithSeparatorForCodePage(caption, locale.timeSeparator, ":");
}

// `chosenPath`: the file was named by the caller (halvik-cli report), so the advice about the
// folder Halvik was started from does not apply.
void writeReport(TRpReport& report, TRpPage& page, bool chosenPath = false) {
    report.BeginDoc();
    report.Print(page);
    try {
        report.EndDoc();  // replaces the file; throws the file-creation error and writes nothing
    } catch (const EFileCreateError& e) {
        // The file name alone does not say where.
        const QString full = QDir::current().absoluteFilePath(QString::fromStdString(e.FileName()));
        const QFileInfo folder(QFileInfo(full).absolutePath());
        throw std::runtime_error(reportFileErrorText(e.what(), e.FileName(), full.toStdString(),
                                                     folder.absoluteFilePath().toStdString(),
                                                     chosenPath || folder.isWritable()));
    }
}

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

std::string reportFileErrorText(const std::string& error, const std::string& fileName,
                                const std::string& fullPath, const std::string& folder,
                                bool folderWritable) {
    std::string message = error;
    const std::string quoted = "\"" + fileName + "\"";
    if (const std::size_t at = message.find(quoted); at != std::string::npos)
        message.replace(at, quoted.size(), "\"" + fullPath + "\"");
    if (!folderWritable)
        message +=
            ". Halvik writes its reports into the folder it was started from, and this "
            "user may not write to " +
            folder +
            ": start Halvik from a folder you can write to and press the button again, or write "
            "the report with halvik-cli report.";
    return message;
}

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
    fillDataReport();
    ExportComponents& x = exports();
    writeReport(*x.RpReport1, x.RpPage1);
    openInViewer(*this, kDataReportFileName);
}

void TForm3::BitBtn6Click() {
    fillChartReport();
    ExportComponents& x = exports();
    writeReport(*x.RpReport2, x.RpPage2);
    openInViewer(*this, kChartReportFileName);
}

void TForm3::writeReports(const QString& dataPath, const QString& chartPath) {
    ExportComponents& x = exports();
    const auto writeTo = [](TRpReport& report, TRpPage& page, const QString& path) {
        const std::string usual = report.FileName();
        report.SetFileName(QFileInfo(path).absoluteFilePath().toStdString());
        try {
            writeReport(report, page, true);
        } catch (...) {
            report.SetFileName(usual);
            throw;
        }
        report.SetFileName(usual);
    };
    if (!dataPath.isEmpty()) {
        fillDataReport();
        writeTo(*x.RpReport1, x.RpPage1, dataPath);
    }
    if (!chartPath.isEmpty()) {
        fillChartReport();
        writeTo(*x.RpReport2, x.RpPage2, chartPath);
    }
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

    // The texts as the window shows them, blanks and all.
    const CellStore& cells = StringGrid1->cells();
    const int last = TextToInt(download.RecordCountText);
    page.RpLabel7->SetCaption(text(Label6->text()));
    page.RpLabel5->SetCaption(leftCharacters(cells.cell(1, 1), 8));
    page.RpLabel10->SetCaption(withTimes(download.StartYearText + "," + cells.cell(2, 1), locale));
    page.RpLabel6->SetCaption(leftCharacters(cells.cell(1, last), 8));
    page.RpLabel11->SetCaption(
        withTimes(download.StopYearText + "," + cells.cell(2, last), locale));
    page.RpLabel16->SetCaption(withDecimals(text(Label12->text()), locale));
    page.RpLabel17->SetCaption(withDecimals(text(Label13->text()), locale));
    page.RpLabel19->SetCaption(text(Label9->text()));
    page.RpLabel28->SetCaption(text(Label19->text()));
    page.RpLabel18->SetCaption(withDecimals(text(Label14->text()), locale));
    page.RpLabel30->SetCaption(text(Label23->text()));
    // The units follow the unit switch.
    page.RpLabel24->SetCaption(text(RpLabel24));
    page.RpLabel25->SetCaption(text(RpLabel25));
    page.RpLabel29->SetCaption(text(RpLabel29));
    page.PlaceUnitCaptions();
}

void TForm3::fillChartReport() {
    ExportComponents& x = exports();
    TRpPage2& page = x.RpPage2;

    // The chart as it is zoomed now, then the logo, through the clipboard, which keeps the logo.
    page.RpImage3->SetPicture(
        toReportBitmap(x.pictureClipboard().passThrough(Chart1->renderImage())));
    x.PrintLogo = x.pictureClipboard().passThrough(toQImage(logoPicture()));
    page.RpImage4->SetPicture(toReportBitmap(x.PrintLogo));

    page.RpLabel21->SetCaption(text(Label6->text()));
}

}  // namespace halvik
