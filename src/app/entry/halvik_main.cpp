// halvik: the program. Finds the logger card among the machine's HID devices (hidraw, with a
// udev monitor for plug and unplug) and shows the main window maximised.

#include <QApplication>
#include <cstdio>

#include "app/Form3.h"
#include "app/Startup.h"
#include "devicelink/linux/LinuxHidPlatform.h"

int main(int argc, char** argv) {
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
    return QApplication::exec();
}
