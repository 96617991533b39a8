// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PageReports.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "cli/RecordArguments.h"
#include "records/RecordStore.h"
#include "report/qt/ReportFiles.h"
#include "views/widgets/SystemLocale.h"

namespace halvik::cli {

int WritePageReports(const std::string& recordPath, const std::string& dataPath,
                     const std::string& chartPath, const std::string& unit) {
    const LoadedRecord loaded = LoadForUse(recordPath);

    // The chart is a widget drawn into a picture: the toolkit needs an application object, and
    // the offscreen platform needs no display and shows nothing. Its notes (no window manager,
    // no runtime folder) are not the caller's business; its errors are.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "halvik-cli: %s\n", qPrintable(message));
    });
    static char name[] = "halvik-cli";
    static char* arguments[] = {name, nullptr};
    static int count = 1;
    QApplication application(count, arguments);

    // The system locale's separators, as the window shows the record on this machine.
    writeRecordReports(loaded.record, loaded.intact, ShownUnit(unit, loaded.record.unit),
                       systemLocaleSettings(), dataPath, chartPath);
    return loaded.intact ? 0 : 1;
}

}  // namespace halvik::cli
