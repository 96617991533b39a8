// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-demo [--pace fast|usb-fs|stall-after:N] [--exit-after-download] [CARD_IMAGE]: the same
// window with a simulated card plugged in, holding the card image given or the built-in demo card.
// Nothing on the machine is touched. --exit-after-download presses DOWNLOAD once the card's
// header is shown and quits when the download ends: 0 when it completed, 1 when it did not (for
// scripted checks of an install).

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>

#include "Version.h"
#include "app/DemoCard.h"
#include "app/Form3.h"
#include "app/Startup.h"
#include "app/WindowRecords.h"

int main(int argc, char** argv) {
    CLI::App cli{
        "halvik-demo: Halvik's window with a simulated logger card plugged in, holding the card "
        "image given or a built-in demo card (six days of a cold store).",
        "halvik-demo"};
    cli.set_version_flag("--version", std::string("halvik-demo ") + halvik::ProgramVersion());
    std::string paceText = "fast";
    std::string imagePath;
    cli.add_option("--pace", paceText,
                   "How fast the card sends its readings: fast (as fast as they are read), "
                   "usb-fs (one 64-byte report per millisecond, as on USB full speed), or "
                   "stall-after:N (the header and the first N reading reports at USB full "
                   "speed, then nothing)")
        ->type_name("PACE")
        ->capture_default_str();
    bool exitAfterDownload = false;
    cli.add_flag("--exit-after-download", exitAfterDownload,
                 "Press DOWNLOAD once the header is shown, quit when the download ends (exit "
                 "status 0: complete, 1: not)");
    cli.add_option("CARD_IMAGE", imagePath,
                   "A card image file: the header report's 64 bytes, then two bytes per reading");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e) == 0 ? 0 : 2;
    }
    const std::optional<halvik::DemoPace> pace = halvik::ParseDemoPace(paceText);
    if (!pace) {
        std::fprintf(stderr, "halvik-demo: unknown pace '%s': use fast, usb-fs or stall-after:N\n",
                     paceText.c_str());
        return 2;
    }
    std::optional<halvik::LoggerCardImage> image;
    try {
        image = imagePath.empty() ? halvik::MakeDemoCardImage()
                                  : halvik::LoggerCardImage::Load(imagePath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halvik-demo: %s\n", e.what());
        return 1;
    }
    const std::string noDisplay = halvik::MissingDisplayMessage("halvik-demo");
    if (!noDisplay.empty()) {
        std::fputs(noDisplay.c_str(), stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("halvik-demo");
    QApplication::setApplicationDisplayName("Temperature Recorder Card");
    halvik::DemoSession demo(std::move(*image), *pace);
    halvik::TForm3& window = demo.window();
    window.showMaximized();
    QTimer watch;
    if (exitAfterDownload) {
        QObject::connect(&watch, &QTimer::timeout, [&window, pressed = false]() mutable {
            if (!pressed) {
                if (!window.Label9->text().trimmed().isEmpty() && window.BitBtn1->isEnabled()) {
                    pressed = true;
                    window.BitBtn1->click();
                }
                return;
            }
            if (window.isStaging()) {
                return;
            }
            window.records->waitForKeeping();
            std::fprintf(stderr, "halvik-demo: %s\n", qPrintable(window.Label10->text()));
            QApplication::exit(window.isDownloaded() ? 0 : 1);
        });
        watch.start(50);
    }
    return QApplication::exec();
}
