// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Writing the two report pages to their PDF files, and the pictures they hold: shared by the
// window's Data Report and Chart Print buttons and by halvik-cli report.

#include <QImage>
#include <string>
#include <vector>

#include "download/ChartPoint.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"
#include "pdf/Bitmap.h"
#include "records/Record.h"
#include "report/ReportComponents.h"

namespace halvik {

// A plain bitmap of a picture, for the report images (32 bits per pixel, the picture's rows).
Bitmap toReportBitmap(const QImage& picture);

// The message for a report file that could not be written. `error` reads
// Cannot create file "fileName". reason
// and the file is named by its full path instead; when its folder is one this user may not
// write to, the message says where Halvik writes its reports and what to do.
std::string reportFileErrorText(const std::string& error, const std::string& fileName,
                                const std::string& fullPath, const std::string& folder,
                                bool folderWritable);

// Writes `page` through `report` to the report's file (relative to the current folder), replacing
// it whole or not at all. Throws std::runtime_error with reportFileErrorText's message.
// `chosenPath`: the file was named by the user, so the advice about the folder does not apply.
void writeReportPage(TRpReport& report, TRpPage& page, bool chosenPath = false);

// The same to `path` (bytes, as given on a command line) instead of the report's own file name,
// which is kept.
void writeReportPageTo(TRpReport& report, TRpPage& page, const std::string& path);

// The Data Report (to `dataPath`) and the Chart Print (to `chartPath`; an empty name writes
// none) of a kept record shown in `unit` with `locale`'s texts, as the window's buttons write them
// when the record is open in it: the same texts, the same logo and the chart at the window's chart
// size, unzoomed. Needs a QApplication (any platform, offscreen included); opens no window and no
// dialog. A record that is not `intact` (changed after its download) has the warning on both
// pages. Throws std::runtime_error when the record's readings cannot be shown or a file cannot be
// written.
void writeRecordReports(const Record& record, bool intact, TemperatureUnit unit,
                        const LocaleSettings& locale, const std::string& dataPath,
                        const std::string& chartPath);

}  // namespace halvik
