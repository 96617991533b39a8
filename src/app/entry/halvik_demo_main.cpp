// halvik-demo [CARD_IMAGE]: the same window with a simulated card plugged in, holding the card
// image given or the built-in demo card. Nothing on the machine is touched.

#include <QApplication>
#include <cstdio>
#include <optional>

#include "app/DemoCard.h"
#include "app/Form3.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fputs("usage: halvik-demo [CARD_IMAGE]\n", stderr);
        return 2;
    }
    std::optional<halvik::LoggerCardImage> image;
    try {
        image = argc == 2 ? halvik::LoggerCardImage::Load(argv[1]) : halvik::MakeDemoCardImage();
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
    halvik::DemoSession demo(std::move(*image));
    demo.window().showMaximized();
    return QApplication::exec();
}
