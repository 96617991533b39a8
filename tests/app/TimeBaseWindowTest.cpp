// SPDX-License-Identifier: GPL-3.0-or-later
// The window's time base on a real X server: a card downloaded across the night the clocks go
// back in Berlin, shown in Europe/Berlin and back in UTC; a name that is no zone; the choice
// kept between runs.

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <iostream>

#include "AppTestSupport.h"
#include "app/TimeBaseChooser.h"
#include "app/WindowRecords.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

// Every text of the window that tells a time.
struct ShownTimes {
    std::vector<std::string> cells;  // Date and Time of every row
    QStringList chartLabels;
    QString start, stop, elapsed, caption, copied;
    bool operator==(const ShownTimes&) const = default;
};

constexpr int kReadings = 20;

class TimeBaseWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(config_.isValid());
        previousConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    }
    void TearDown() override {
        if (HasFailure()) {
            for (const auto& [kind, text] : recorder.messages)
                std::cerr << "message box: " << text.toStdString() << "\n";
        }
        window.reset();
        card.reset();
        qputenv("XDG_CONFIG_HOME", previousConfig_);
    }

    // 20 readings from 24 October 2026 23:48 UTC (01:48 CEST) to 01:42 UTC (02:42 CET).
    void downloadAutumnCard() {
        std::vector<double> values;
        for (int i = 0; i < kReadings; ++i)
            values.push_back(4.0 + 0.5 * i);
        card = std::make_unique<SimLoggerCard>(
            platform, cardWith(values, {1, 2, 3, 4, 5}, {2026, 10, 24, 23, 48, 0}),
            SimLoggerCard::Pace::AsFastAsRead);
        card->Plug();
        openWindow();
        ASSERT_TRUE(waitFor([&] { return window->Label9->text() == "   20"; }));
        window->BitBtn1->click();
        ASSERT_TRUE(waitFor([&] { return window->isDownloaded(); }, 20000));
    }
    void openWindow() {
        window = std::make_unique<TForm3>(platform);
        window->locale = LocaleSettings{};
        window->show();
    }

    // Types a name into the chooser and presses Enter, as a user does.
    void typeZone(const QString& name) {
        QLineEdit* edit = window->timeBase->combo()->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, name);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    std::string cell(int column, int row) const {
        return window->StringGrid1->cells().cell(column, row);
    }

    ShownTimes shown() {
        ShownTimes t;
        for (int row = 1; row <= kReadings; ++row) {
            t.cells.push_back(cell(1, row));
            t.cells.push_back(cell(2, row));
        }
        for (int x = 0; x < kReadings; ++x)
            t.chartLabels.push_back(window->Chart1->pointLabel(x));
        t.start = window->Label7->text() + window->Label8->text();
        t.stop = window->Label1->text() + window->Label11->text();
        t.elapsed = window->Label19->text();
        t.caption = window->Label22->text();
        window->BitBtn11->click();
        t.copied = QApplication::clipboard()->text();
        return t;
    }

    QTemporaryDir config_;
    QByteArray previousConfig_;
    SimHidPlatform platform;
    MessageRecorder recorder;
    std::unique_ptr<SimLoggerCard> card;
    std::unique_ptr<TForm3> window;
};

TEST_F(TimeBaseWindow, BerlinAcrossTheAutumnChangeThenBackToUtcExactly) {
    downloadAutumnCard();
    const ShownTimes utc = shown();
    EXPECT_EQ(cell(2, 1), "    23:48");
    EXPECT_EQ(utc.caption, " ALL TIMES  SHOWN ARE BASED ON GMT AND 24 HOUR CLOCK");

    typeZone("Europe/Berlin");
    EXPECT_EQ(window->timeBase->base(), TimeBase::Zone("Europe/Berlin"));
    const ShownTimes berlin = shown();
    // The repeated hour: 02:00..02:54 CEST, then 02:00..02:54 CET; neighbours six minutes apart.
    const std::pair<int, const char*> times[] = {
        {1, "    01:48"},       {2, "    01:54"},      {3, "    02:00 CEST"},
        {12, "    02:54 CEST"}, {13, "    02:00 CET"}, {20, "    02:42 CET"},
    };
    for (const auto& [row, time] : times) {
        EXPECT_EQ(cell(2, row), time) << row;
        EXPECT_EQ(cell(1, row), "  25 OCT  26") << row;
    }
    EXPECT_EQ(berlin.chartLabels[0], "25Oct26  01:48");
    EXPECT_EQ(berlin.chartLabels[7], "25Oct26  02:30 CEST");
    EXPECT_EQ(berlin.chartLabels[17], "25Oct26  02:30 CET");
    EXPECT_EQ(berlin.start, "  25 OCT  26,    01:48");
    EXPECT_EQ(berlin.stop, "  25 OCT  26,    02:42 CET");
    EXPECT_EQ(berlin.elapsed, utc.elapsed);  // the true elapsed time, not a clock difference
    EXPECT_EQ(berlin.elapsed, "1 Hour(s),  54 Minute(s)");
    EXPECT_EQ(berlin.caption, " ALL TIMES SHOWN ARE Europe/Berlin (CET/CEST), 24 HOUR CLOCK");
    // Copy All copies what the grid shows, the repeated hour told apart.
    EXPECT_TRUE(berlin.copied.contains("\r\n8\t  25 OCT  26\t    02:30 CEST\t            7.5\r\n"))
        << berlin.copied.toStdString();
    EXPECT_TRUE(berlin.copied.contains("\r\n18\t  25 OCT  26\t    02:30 CET\t            12.5\r\n"))
        << berlin.copied.toStdString();
    EXPECT_TRUE(berlin.copied.startsWith("1\t  25 OCT  26\t    01:48\t            4.0\r\n"));

    // The window's CSV follows the choice.
    const QString csvPath = config_.filePath("readings.csv");
    window->records->chooseCsvFile = [&](const QString&) { return csvPath; };
    window->records->exportCsv();
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString csvText = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(csvText.contains("\n18,2026-10-25T01:30:00Z,2026-10-25T02:30:00+01:00,12.5,54.5\n"))
        << csvText.toStdString();

    const QString dir(HALVIK_ARTIFACT_DIR);
    EXPECT_TRUE(window->grab().save(dir + "/time-base.png"));

    // Back to the card's clock: every text as before, byte for byte.
    window->timeBase->combo()->setCurrentIndex(0);
    emit window->timeBase->combo()->activated(0);
    EXPECT_TRUE(window->timeBase->base().IsCardClock());
    EXPECT_EQ(shown(), utc);
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(TimeBaseWindow, AnUnknownNameKeepsThePreviousChoice) {
    openWindow();
    typeZone("Asia/Kolkata");
    ASSERT_EQ(window->timeBase->base(), TimeBase::Zone("Asia/Kolkata"));
    const QString caption = window->Label22->text();
    for (const char* name : {"Europe/Berln", "asia/tokyo", ""}) {
        SCOPED_TRACE(name);
        recorder.messages.clear();
        typeZone(name);
        ASSERT_EQ(recorder.errors().size(), 1u);
        EXPECT_TRUE(recorder.errors()[0].contains("timedatectl list-timezones"));
        EXPECT_TRUE(recorder.errors()[0].contains("The times stay in Asia/Kolkata (IST)."))
            << recorder.errors()[0].toStdString();
        EXPECT_EQ(window->timeBase->base(), TimeBase::Zone("Asia/Kolkata"));
        EXPECT_EQ(window->timeBase->combo()->currentText(), "Asia/Kolkata");
        EXPECT_EQ(window->Label22->text(), caption);
    }
}

TEST_F(TimeBaseWindow, TheChoiceIsKeptBetweenRuns) {
    openWindow();
    typeZone("America/New_York");
    window.reset();
    openWindow();
    EXPECT_EQ(window->timeBase->base(), TimeBase::Zone("America/New_York"));
    EXPECT_EQ(window->timeBase->combo()->currentText(), "America/New_York");
    EXPECT_TRUE(window->Label22->text().startsWith(" ALL TIMES SHOWN ARE America/New_York"));

    // A kept name that is no zone (a hand-edited file, a zone gone from the database): UTC,
    // and the status bar says why.
    window.reset();
    QSettings(TimeBaseChooser::settingsFile(), QSettings::IniFormat)
        .setValue("timeBase", "Mars/Olympus");
    openWindow();
    EXPECT_TRUE(window->timeBase->base().IsCardClock());
    EXPECT_EQ(window->Label22->text(), " ALL TIMES  SHOWN ARE BASED ON GMT AND 24 HOUR CLOCK");
    EXPECT_TRUE(window->StatusMessage->text().contains("'Mars/Olympus' is not a time zone name"))
        << window->StatusMessage->text().toStdString();
    EXPECT_TRUE(recorder.errors().empty());
}

}  // namespace
}  // namespace halvik::testing
