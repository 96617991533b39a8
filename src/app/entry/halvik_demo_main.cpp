// halvik-demo [--exit-after-download] [CARD_IMAGE]: the same window with a simulated card plugged
// in, holding the card image given or the built-in demo card. Nothing on the machine is touched.
// --exit-after-download presses DOWNLOAD once the card's header is shown and quits when the
// download ends: 0 when it completed, 1 when it failed (for scripted checks of an install).

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/DemoCard.h"
#include "app/Form3.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
    const bool exitAfterDownload = argc > 1 && std::strcmp(argv[1], "--exit-after-download") == 0;
    const int firstArgument = exitAfterDownload ? 2 : 1;
    if (argc > firstArgument + 1) {
        std::fputs("usage: halvik-demo [--exit-after-download] [CARD_IMAGE]\n", stderr);
        return 2;
    }
    std::optional<halvik::LoggerCardImage> image;
    try {
        image = argc > firstArgument ? halvik::LoggerCardImage::Load(argv[firstArgument])
                                     : halvik::MakeDemoCardImage();
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
    halvik::TForm3& window = demo.window();
    window.showMaximized();
    QTimer watch;
    if (exitAfterDownload) {
        QObject::connect(&watch, &QTimer::timeout, [&window, pressed = false]() mutable {
            const QString state = window.Label10->text();
            if (state == "Downloaded" || state == halvik::TForm3::kDownloadFailedText) {
                std::fprintf(stderr, "halvik-demo: %s\n", qPrintable(state));
                QApplication::exit(state == "Downloaded" ? 0 : 1);
            } else if (!pressed && !window.Label9->text().trimmed().isEmpty()) {
                pressed = true;
                window.BitBtn1->click();
            }
        });
        watch.start(50);
    }
    return QApplication::exec();
}
