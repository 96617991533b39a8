// SPDX-License-Identifier: GPL-3.0-or-later
// Data Report and Chart Print through the window after a download of the demo card (1,440
// readings), pressed as a user presses them: undo zoom, the logo and chart through the
// clipboard, the labels, the PDF file written in a temporary folder. The viewer call is caught by
// a URL handler, so no viewer opens. Runs on the X server in DISPLAY, or offscreen without one.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <memory>

#include "app/DemoCard.h"
#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik {
namespace {

// Takes the desktop's "Open" calls instead of starting a viewer.
class ViewerCatcher : public QObject {
    Q_OBJECT
  public slots:
    void open(const QUrl&) { ++calls; }

  public:
    int calls = 0;
};

struct Session {
    SimHidPlatform platform;
    std::unique_ptr<SimLoggerCard> card;
    std::unique_ptr<TForm3> window;
    QString error;
};

bool waitFor(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return true;
}

// The window with the demo card downloaded, staged by hand (ten ticks) instead of in real time.
Session& session() {
    static Session s = [] {
        Session out;
        setMessageSink([](QWidget*, MessageKind kind, const QString& text) {
            if (kind == MessageKind::Error) {
                std::fprintf(stderr, "error box: %s\n", text.toUtf8().constData());
            }
        });
        const LoggerCardImage image = MakeDemoCardImage();
        const std::size_t readings = image.ReadingCount();
        out.card = std::make_unique<SimLoggerCard>(out.platform, image);
        out.card->Plug();
        out.window = std::make_unique<TForm3>(out.platform);
        out.window->locale = LocaleSettings{};
        out.window->show();
        TForm3& w = *out.window;
        if (!waitFor([&] { return !w.download.PidText.empty() && w.BitBtn1->isEnabled(); })) {
            out.error = "no header";
            return out;
        }
        w.BitBtn1->click();
        if (!waitFor([&] { return w.download.DownloadText.size() >= 6 * readings; })) {
            out.error = "no readings";
            return out;
        }
        if (!waitFor([&] { return !w.isStaging(); }) || !w.isDownloaded()) {
            out.error = "download incomplete";
        }
        return out;
    }();
    return s;
}

void press(benchmark::State& state, QPushButton* TForm3::*button, bool zoomFirst,
           const char* file) {
    Session& s = session();
    if (!s.error.isEmpty()) {
        state.SkipWithError(s.error.toUtf8().constData());
        return;
    }
    TForm3& w = *s.window;
    ViewerCatcher viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    for (auto _ : state) {
        if (zoomFirst) {
            state.PauseTiming();
            w.BitBtn4->click();
            w.BitBtn4->click();
            state.ResumeTiming();
        }
        (w.*button)->click();
    }
    QDesktopServices::unsetUrlHandler("file");
    if (viewer.calls != static_cast<int>(state.iterations())) {
        state.SkipWithError("a press did not write its report");
    }
    state.counters["bytes"] = static_cast<double>(QFileInfo(file).size());
}

void BM_DataReport(benchmark::State& state) {
    press(state, &TForm3::BitBtn9, false, "Brisko.pdf");
}
BENCHMARK(BM_DataReport)->Unit(benchmark::kMillisecond)->UseRealTime();

// The undo zoom then has to lay the chart out again before it is drawn.
void BM_DataReportAfterZoom(benchmark::State& state) {
    press(state, &TForm3::BitBtn9, true, "Brisko.pdf");
}
BENCHMARK(BM_DataReportAfterZoom)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChartPrint(benchmark::State& state) {
    press(state, &TForm3::BitBtn6, false, "Brisko_C.pdf");
}
BENCHMARK(BM_ChartPrint)->Unit(benchmark::kMillisecond)->UseRealTime();

// For comparison: the chart drawn into a bitmap, which both reports do once.
void BM_ChartRender(benchmark::State& state) {
    Session& s = session();
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.window->Chart1->renderImage());
    }
}
BENCHMARK(BM_ChartRender)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace halvik

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir::setCurrent(folder.path())) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    halvik::session().window.reset();
    return 0;
}

#include "bench_export.moc"
