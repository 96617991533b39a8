// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/qt/ReportFiles.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "download/KeptDownload.h"
#include "pdf/PdfStreams.h"
#include "report/Distributor.h"
#include "report/ReportPages.h"
#include "report/ReportTexts.h"
#include "report/qt/Logo.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik {

Bitmap toReportBitmap(const QImage& picture) {
    if (picture.isNull()) {
        return {};
    }
    // Blue, green, red, unused in memory: the 32-bit layout of the report bitmaps.
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    Bitmap bitmap;
    bitmap.width = rgb.width();
    bitmap.height = rgb.height();
    bitmap.bitsPerPixel = 32;
    bitmap.stride = static_cast<std::size_t>(rgb.bytesPerLine());
    bitmap.pixels.resize(bitmap.stride * static_cast<std::size_t>(bitmap.height));
    std::memcpy(bitmap.pixels.data(), rgb.constBits(), bitmap.pixels.size());
    return bitmap;
}

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

void writeReportPage(TRpReport& report, TRpPage& page, bool chosenPath) {
    report.BeginDoc();
    report.Print(page);
    try {
        report.EndDoc();  // replaces the file; throws the file-creation error and writes nothing
    } catch (const EFileCreateError& e) {
        if (chosenPath) {
            // The name as given, made absolute byte for byte: it need not be UTF-8.
            std::error_code error;
            const std::filesystem::path full = std::filesystem::absolute(e.FileName(), error);
            throw std::runtime_error(reportFileErrorText(
                e.what(), e.FileName(), error ? e.FileName() : full.string(), {}, true));
        }
        // The file name alone does not say where.
        const QString full = QDir::current().absoluteFilePath(QString::fromStdString(e.FileName()));
        const QFileInfo folder(QFileInfo(full).absolutePath());
        throw std::runtime_error(reportFileErrorText(e.what(), e.FileName(), full.toStdString(),
                                                     folder.absoluteFilePath().toStdString(),
                                                     folder.isWritable()));
    }
}

void writeReportPageTo(TRpReport& report, TRpPage& page, const std::string& path) {
    const std::string usual = report.FileName();
    report.SetFileName(path);
    try {
        writeReportPage(report, page, true);
    } catch (...) {
        report.SetFileName(usual);
        throw;
    }
    report.SetFileName(usual);
}

void writeRecordReports(const Record& record, bool intact, TemperatureUnit unit,
                        const LocaleSettings& locale, const std::string& dataPath,
                        const std::string& chartPath) {
    const ReplayedDownload shown = ReplayRecord(record, unit, locale);
    if (shown.phase == DownloadPhase::Failed)
        throw std::runtime_error("the readings cannot be shown: " + shown.problem);
    ShownTexts texts;
    texts.pid = shown.header.pidLabel;
    texts.dataPoints = shown.header.dataPointsLabel;
    if (shown.parse.hasStatistics)
        texts.statistics = shown.parse.statistics;

    const Bitmap logo = toReportBitmap(toQImage(logoPicture()));
    const Bitmap chart = toReportBitmap(
        TemperatureChart::pictureOf(shown.parse.points, unit, TemperatureChart::kDesignedSize));

    if (!dataPath.empty()) {
        TRpPage1 page(kDistributorWebAddress);
        FillDataReportTexts(page, shown.state, shown.grid, texts, unit, locale);
        MarkChangedRecord(page, intact);
        page.RpImage1->SetPicture(logo);
        page.RpImage2->SetPicture(chart);
        writeReportPageTo(*CreateRpReport1(), page, dataPath);
    }
    if (!chartPath.empty()) {
        TRpPage2 page(kDistributorWebAddress);
        FillChartReportTexts(page, texts);
        MarkChangedRecord(page, intact);
        page.RpImage3->SetPicture(chart);
        page.RpImage4->SetPicture(logo);
        writeReportPageTo(*CreateRpReport2(), page, chartPath);
    }
}

}  // namespace halvik
