// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-demo end to end on the X server: the demo card downloaded through the real staging,
// copies read back by xclip from another process, a screenshot kept as a test artifact; and
// the two programs started as programs.

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <optional>

#include "AppTestSupport.h"
#include "app/DemoCard.h"
#include "records/RecordStore.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

// Reads the clipboard from another process while this one keeps serving it.
QString clipboardSeenByXclip() {
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    if (!xclip.waitForStarted(5000)) {
        ADD_FAILURE() << "xclip did not start";
        return {};
    }
    if (!waitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000)) {
        xclip.kill();
        ADD_FAILURE() << "xclip did not finish";
        return {};
    }
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

std::string temperatureText(double value) {
    const double rounded = std::round(value * 10) / 10;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", rounded == 0 ? 0.0 : rounded);
    return text;
}

TEST(DemoCard, HoldsSixDaysOfAColdStoreWithOneExcursionAboveEight) {
    const std::vector<double> values = DemoCardTemperatures();
    ASSERT_EQ(values.size(), 1440u);
    int above = 0, runs = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_GT(values[i], 1.0) << i;
        EXPECT_LT(values[i], 12.0) << i;
        const bool hot = values[i] > 8.0;
        above += hot;
        runs += hot && (i == 0 || values[i - 1] <= 8.0);
    }
    EXPECT_EQ(runs, 1);
    EXPECT_GE(above, 5);
    const LoggerCardImage image = MakeDemoCardImage();
    EXPECT_EQ(image.AnnouncedCount(), 1440u);
    EXPECT_EQ(image.ReadingCount(), 1440u);
}

TEST(DemoEndToEnd, DownloadTheDemoCardCopyToTheRealClipboardAndKeepAScreenshot) {
    MessageRecorder recorder;
    DemoSession demo(MakeDemoCardImage());
    TForm3& window = demo.window();
    window.locale = LocaleSettings{};
    window.showMaximized();
    ASSERT_TRUE(waitFor([&] { return window.Label9->text() == "   1440"; }));
    EXPECT_EQ(window.StatusBar1Panels[1]->text(), "Connected");

    window.BitBtn1->click();
    ASSERT_TRUE(waitFor([&] { return window.Label10->text() == "Downloaded"; }, 30000));
    EXPECT_TRUE(recorder.messages.empty());

    const std::vector<double> values = DemoCardTemperatures();
    const CellStore& cells = window.StringGrid1->cells();
    ASSERT_EQ(cells.rowCount(), 1441);
    EXPECT_EQ(cells.cell(1, 1), "  12 JAN  26");
    EXPECT_EQ(cells.cell(2, 1), "    08:00");
    EXPECT_EQ(cells.cell(1, 1440), "  18 JAN  26");
    EXPECT_EQ(cells.cell(2, 1440), "    07:54");
    for (int row = 1; row <= 1440; row += 97) {
        EXPECT_EQ(cells.cell(3, row), "            " + temperatureText(values[row - 1])) << row;
    }
    ASSERT_NE(window.Chart1->readingSeries(), nullptr);
    EXPECT_EQ(window.Chart1->readingSeries()->count(), 1440);
    EXPECT_EQ(window.Chart1->pointLabel(0), "12Jan26  08:00");
    EXPECT_GT(window.Label12->text().trimmed().toDouble(), 8.0);
    EXPECT_EQ(window.Label19->text(), "5 Day(s),  23 Hour(s),  54 Minute(s)");

    // The screenshot, for people to look at.
    const QString artifacts = QString(HALVIK_ARTIFACT_DIR);
    QDir().mkpath(artifacts);
    EXPECT_TRUE(settledGrab(window).save(artifacts + "/halvik-demo-downloaded.png"));

    // Copy All, read by another process.
    window.BitBtn11->click();
    const QString all = clipboardSeenByXclip();
    const QStringList lines = all.split("\r\n");
    ASSERT_EQ(lines.size(), 1440);
    EXPECT_EQ(lines[0].toStdString(),
              "1\t  12 JAN  26\t    08:00\t            " + temperatureText(values[0]));
    EXPECT_EQ(lines[1439].toStdString(),
              "1440\t  18 JAN  26\t    07:54\t            " + temperatureText(values[1439]));
    EXPECT_FALSE(all.endsWith("\r\n"));

    // Select & Copy of rows 2 and 3.
    window.StringGrid1->selectRowRange(2, 3);
    window.BitBtn12->click();
    EXPECT_EQ(clipboardSeenByXclip().toStdString(),
              "2\t  12 JAN  26\t    08:06\t            " + temperatureText(values[1]) + "\r\n" +
                  "3\t  12 JAN  26\t    08:12\t            " + temperatureText(values[2]));

    // The right-button copy: the same rows, then "Copied".
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(window.StringGrid1->viewport(), Qt::RightButton, {}, QPoint(100, 60));
    ASSERT_FALSE(recorder.messages.empty());
    EXPECT_EQ(recorder.messages.back().second, "Copied");
    EXPECT_EQ(recorder.messages.back().first, MessageKind::Information);
    EXPECT_EQ(clipboardSeenByXclip().toStdString(),
              "2\t  12 JAN  26\t    08:06\t            " + temperatureText(values[1]) + "\r\n" +
                  "3\t  12 JAN  26\t    08:12\t            " + temperatureText(values[2]));
}

struct ProgramRun {
    int exitCode = -1;
    bool stillRunning = false;
    QString errors;
};

// Starts a program, lets it run for `aliveMs` and stops it if it is still running then.
ProgramRun runFor(
    const QString& program, const QStringList& arguments, int aliveMs,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForStarted(5000)) {
        return run;
    }
    waitFor([&] { return process.state() == QProcess::NotRunning; }, aliveMs);
    run.stillRunning = process.state() != QProcess::NotRunning;
    if (run.stillRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    } else {
        run.exitCode = process.exitCode();
    }
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(Programs, HalvikDemoStartsWithItsCardOrACardImageAndRefusesABadImage) {
    EXPECT_TRUE(runFor(HALVIK_DEMO_BINARY, {}, 2500).stillRunning);

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string good = (folder.path() + "/card.bin").toStdString();
    cardWith({4.0, 5.0, 6.0}).Save(good);
    EXPECT_TRUE(runFor(HALVIK_DEMO_BINARY, {QString::fromStdString(good)}, 2500).stillRunning);

    const ProgramRun bad = runFor(HALVIK_DEMO_BINARY, {folder.path() + "/missing.bin"}, 10000);
    EXPECT_FALSE(bad.stillRunning);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.errors.startsWith("halvik-demo: ")) << bad.errors.toStdString();
}

// Runs a command to its end (pumping events meanwhile) and returns its standard output, or
// nothing when it failed.
std::optional<QString> runCommand(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000) ||
        !waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
        process.kill();
        process.waitForFinished(2000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Clicks at a point of the window (window coordinates), optionally with Shift held.
void click(const QString& window, int x, int y, bool shift = false) {
    QStringList arguments = {"mousemove", "--window", window, QString::number(x),
                             QString::number(y)};
    if (shift) {
        arguments << "keydown"
                  << "shift";
    }
    arguments << "click"
              << "1";
    if (shift) {
        arguments << "keyup"
                  << "shift";
    }
    ASSERT_TRUE(runCommand("xdotool", arguments).has_value());
}

TEST(Programs, HalvikDemoDrivenByClicksCopiesToTheClipboardOfAnotherProcess) {
    QProcess demo;
    demo.start(HALVIK_DEMO_BINARY, {});
    ASSERT_TRUE(demo.waitForStarted(5000));
    std::optional<QString> found;
    ASSERT_TRUE(waitFor(
        [&] {
            found = runCommand(
                "xdotool", {"search", "--onlyvisible", "--pid", QString::number(demo.processId()),
                            "--name", "Temperature Recorder Card"});
            return found.has_value() && !found->trimmed().isEmpty();
        },
        20000));
    const QString window = found->trimmed().split('\n').first();
    // DOWNLOAD before the card's header has arrived would only say so in a box: wait until the
    // PID label (at 558, 60 of the window, empty until then) shows its text.
    ASSERT_TRUE(waitFor(
        [&] {
            const QImage pid = QGuiApplication::primaryScreen()
                                   ->grabWindow(window.toULongLong(), 558, 60, 160, 20)
                                   .toImage();
            for (int y = 0; y < pid.height(); ++y) {
                for (int x = 0; x < pid.width(); ++x) {
                    if (pid.pixel(x, y) != pid.pixel(0, 0))
                        return true;
                }
            }
            return false;
        },
        20000));

    click(window, 60, 116);  // DOWNLOAD
    // Copy All is enabled once the download is complete (ten ticks of 1.44 s).
    QStringList lines;
    waitFor(
        [&] {
            click(window, 226, 647);
            const std::optional<QString> text =
                runCommand("xclip", {"-o", "-selection", "clipboard"});
            lines = text ? text->split("\r\n") : QStringList();
            return lines.size() == 1440;
        },
        40000);
    ASSERT_EQ(lines.size(), 1440);
    const std::vector<double> values = DemoCardTemperatures();
    EXPECT_EQ(lines[0].toStdString(),
              "1\t  12 JAN  26\t    08:00\t            " + temperatureText(values[0]));
    EXPECT_EQ(lines[1439].toStdString(),
              "1440\t  18 JAN  26\t    07:54\t            " + temperatureText(values[1439]));

    // Rows 2 and 3 (24 pixels a row from the grid's top at 154), then Select & Copy.
    click(window, 150, 154 + 2 * 24 + 12);
    click(window, 150, 154 + 3 * 24 + 12, true);
    click(window, 314, 647);
    std::optional<QString> selected;
    waitFor(
        [&] {
            selected = runCommand("xclip", {"-o", "-selection", "clipboard"});
            return selected.has_value() && selected->split("\r\n").size() == 2;
        },
        10000);
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(selected->toStdString(),
              "2\t  12 JAN  26\t    08:06\t            " + temperatureText(values[1]) + "\r\n" +
                  "3\t  12 JAN  26\t    08:12\t            " + temperatureText(values[2]));

    demo.terminate();
    if (!demo.waitForFinished(5000)) {
        demo.kill();
        demo.waitForFinished(5000);
    }
}

TEST(Programs, HalvikShowsARecordGivenOnItsCommandLineWithoutACard) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    Record record;
    const LoggerCardImage image = cardWith({3.5, 4.0, 4.5});
    record.header.assign(image.Header().begin(), image.Header().end());
    record.readings = image.Stream();
    record.downloadedAt = std::chrono::sys_seconds(std::chrono::seconds(1767945600));
    record.host = "test";
    record.programVersion = "0.1";
    record.complete = true;
    const KeptRecord kept = KeepRecord(record, folder.path().toStdString());
    const QString name = QString::fromStdString(kept.path.filename().string());

    QProcess halvik;
    halvik.start(HALVIK_BINARY, {QString::fromStdString(kept.path.string())});
    ASSERT_TRUE(halvik.waitForStarted(5000));
    std::optional<QString> found;
    ASSERT_TRUE(waitFor(
        [&] {
            found = runCommand("xdotool", {"search", "--onlyvisible", "--pid",
                                           QString::number(halvik.processId()), "--name", name});
            return found.has_value() && !found->trimmed().isEmpty();
        },
        20000));
    const QString window = found->trimmed().split('\n').first();
    QStringList lines;
    waitFor(
        [&] {
            click(window, 226, 647);  // Copy All
            const std::optional<QString> text =
                runCommand("xclip", {"-o", "-selection", "clipboard"});
            lines = text ? text->split("\r\n") : QStringList();
            return lines.size() == 3;
        },
        20000);
    EXPECT_EQ(lines, (QStringList{"1\t  07 JAN  14\t    09:00\t            3.5",
                                  "2\t  07 JAN  14\t    09:06\t            4.0",
                                  "3\t  07 JAN  14\t    09:12\t            4.5"}));
    halvik.terminate();
    if (!halvik.waitForFinished(5000)) {
        halvik.kill();
        halvik.waitForFinished(5000);
    }
}

TEST(Programs, HalvikStartsOnThisMachinesHidDevices) {
    EXPECT_TRUE(runFor(HALVIK_BINARY, {}, 2500).stillRunning);
}

TEST(Programs, WithoutADisplayHalvikSaysHowToRunIt) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    const ProgramRun run = runFor(HALVIK_BINARY, {}, 10000, environment);
    EXPECT_FALSE(run.stillRunning);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains("no display")) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains("xvfb-run -a halvik")) << run.errors.toStdString();
}

}  // namespace
}  // namespace halvik::testing
