// SPDX-License-Identifier: GPL-3.0-or-later
// halvik [RECORD]: the program. Finds the logger card among the machine's HID devices (hidraw,
// with a udev monitor for plug and unplug) and shows the main window maximised; with a record
// file, shows that record.
//
// halvik --report-data FILE [--report-chart FILE] [--report-unit C|F] RECORD writes the record's
// Data Report (and Chart Print) as the window's buttons would, without a display or a card
// (the window is drawn offscreen), and exits: 0 when written, 2 when the record or a file is
// not usable (the reason on standard error). halvik-cli report runs this.

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "app/Startup.h"
#include "app/TimeBaseChooser.h"
#include "devicelink/linux/LinuxHidPlatform.h"
#include "devicelink/sim/SimHidPlatform.h"
#include "download/KeptDownload.h"
#include "records/RecordStore.h"

namespace {

int writeReports(int argc, char** argv, const std::string& recordPath, const std::string& data,
                 const std::string& chart, const std::string& unit) {
    try {
        halvik::LoadRecord(recordPath);  // a clear message before any window exists
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halvik: %s\n", e.what());
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The toolkit's notes about the offscreen platform (no window manager, no runtime folder)
    // are not the caller's business; its errors are.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "halvik: %s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    QApplication::setApplicationName("halvik");
    halvik::SimHidPlatform noCards;  // the reports need no card
    halvik::TForm3 window(noCards);
    window.timeBase->useForThisRun(halvik::TimeBase());  // the reports as they are, in UTC
    window.show();
    std::optional<halvik::TemperatureUnit> shownUnit;
    if (!unit.empty()) {
        shownUnit =
            unit == "F" ? halvik::TemperatureUnit::Fahrenheit : halvik::TemperatureUnit::Celsius;
    }
    // Nobody can see or close a message box on the offscreen platform: it would wait forever.
    // Every message goes to standard error instead, and an error is the exit status.
    bool failed = false;
    halvik::setMessageSink([&failed](QWidget*, halvik::MessageKind kind, const QString& text) {
        std::fprintf(stderr, "halvik: %s\n", qPrintable(text));
        failed = failed || kind == halvik::MessageKind::Error;
    });
    try {
        if (!window.openRecordFile(recordPath, shownUnit)) {
            return 2;
        }
        window.writeReports(QFile::decodeName(data.c_str()), QFile::decodeName(chart.c_str()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halvik: %s\n", e.what());
        return 2;
    }
    return failed ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App cli{
        "halvik: downloads a USB temperature-logger card and shows its readings as a "
        "table, a chart and statistics; keeps every download as a record.",
        "halvik"};
    cli.set_version_flag("--version", std::string("halvik ") + halvik::ProgramVersion());
    std::string recordPath, reportData, reportChart, reportUnit;
    cli.add_option("RECORD", recordPath,
                   "A record file (.halvik) to show, as kept after a download");
    CLI::Option* data =
        cli.add_option("--report-data", reportData,
                       "Write RECORD's Data Report to this PDF file and exit (no display needed)")
            ->type_name("FILE");
    CLI::Option* chart = cli.add_option("--report-chart", reportChart,
                                        "Write RECORD's Chart Print to this PDF file and exit")
                             ->type_name("FILE");
    cli.add_option("--report-unit", reportUnit, "The reports' unit (default: the record's)")
        ->type_name("C|F")
        ->check(CLI::IsMember({"C", "F"}));
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e) == 0 ? 0 : 2;
    }
    if (*data || *chart) {
        if (recordPath.empty()) {
            std::fputs("halvik: --report-data and --report-chart need a RECORD\n", stderr);
            return 2;
        }
        return writeReports(argc, argv, recordPath, reportData, reportChart, reportUnit);
    }
    const std::string noDisplay = halvik::MissingDisplayMessage("halvik");
    if (!noDisplay.empty()) {
        std::fputs(noDisplay.c_str(), stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("halvik");
    QApplication::setApplicationDisplayName("Temperature Recorder Card");
    halvik::LinuxHidPlatform platform;
    halvik::TForm3 window(platform);
    window.showMaximized();
    if (!recordPath.empty()) {
        QTimer::singleShot(0, &window, [&window, recordPath] {
            window.openRecordFile(recordPath);  // bytes: the name need not be UTF-8
        });
    }
    return QApplication::exec();
}
