// SPDX-License-Identifier: GPL-3.0-or-later
// halvik [RECORD]: the program. Finds the logger card among the machine's HID devices (hidraw,
// with a udev monitor for plug and unplug) and shows the main window maximised; with a record
// file, shows that record. (halvik-cli report writes a record's reports without a window.)

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string>

#include "Version.h"
#include "app/Form3.h"
#include "app/Startup.h"
#include "devicelink/linux/LinuxHidPlatform.h"

int main(int argc, char** argv) {
    CLI::App cli{
        "halvik: downloads a USB temperature-logger card and shows its readings as a "
        "table, a chart and statistics; keeps every download as a record.",
        "halvik"};
    cli.set_version_flag("--version", std::string("halvik ") + halvik::ProgramVersion());
    std::string recordPath;
    cli.add_option("RECORD", recordPath,
                   "A record file (.halvik) to show, as kept after a download");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e) == 0 ? 0 : 2;
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
