// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's flows on the in-memory card: start, header, DOWNLOAD to "Downloaded",
// plug and unplug at every stage, failures, and the unit switch.

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <cerrno>
#include <iostream>

#include "AppTestSupport.h"
#include "app/WindowRecords.h"
#include "logger/LogClock.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

using Pace = SimLoggerCard::Pace;

std::vector<double> ramp(int count) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(2.0 + 0.5 * i);
    }
    return values;
}

class WindowTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (HasFailure()) {
            for (const auto& [kind, text] : recorder.messages) {
                std::cerr << "message box: " << text.toStdString() << "\n";
            }
        }
        window.reset();
        card.reset();
        other.reset();
    }

    void plugCard(LoggerCardImage image, Pace pace = Pace::AsFastAsRead) {
        card = std::make_unique<SimLoggerCard>(platform, std::move(image), pace);
        card->Plug();
    }

    void openWindow() {
        window = std::make_unique<TForm3>(platform);
        window->locale = LocaleSettings{};  // English month names, "." and ":"
        window->show();
    }

    QString status() const { return window->StatusBar1Panels[1]->text(); }

    // Waits for the header of the card connected now (an unplug empties PidText, a header
    // fills it again).
    void waitForHeader(const QString& dataPoints) {
        ASSERT_TRUE(waitFor([&] {
            return status() == "Connected" && !window->download.PidText.empty() &&
                   window->Label9->text() == dataPoints;
        })) << status().toStdString()
            << " / " << window->Label9->text().toStdString();
    }

    // Presses DOWNLOAD and waits until the download ended (every reading arrived, or not).
    void download() {
        ASSERT_TRUE(window->BitBtn1->isEnabled());
        window->BitBtn1->click();
        ASSERT_TRUE(waitFor([&] { return !window->isStaging(); }, 20000));
    }

    std::string cell(int column, int row) const {
        return window->StringGrid1->cells().cell(column, row);
    }

    std::vector<QPushButton*> resultButtons() const {
        return {window->BitBtn2,  window->BitBtn3,  window->BitBtn4,
                window->BitBtn5,  window->BitBtn6,  window->BitBtn9,
                window->BitBtn10, window->BitBtn11, window->BitBtn12};
    }
    bool resultsEnabled(bool enabled) const {
        for (QPushButton* button : resultButtons()) {
            if (button->isEnabled() != enabled) {
                return false;
            }
        }
        return true;
    }

    SimHidPlatform platform;
    MessageRecorder recorder;
    std::unique_ptr<SimLoggerCard> card;
    std::unique_ptr<SimLoggerCard> other;
    std::unique_ptr<TForm3> window;
};

TEST_F(WindowTest, StartWithCardShowsNotConnectedThenConnectedWithTheHeader) {
    plugCard(cardWith({20.0, 25.0, 30.0}));
    openWindow();
    // Before the event loop runs: no card yet.
    EXPECT_EQ(status(), "Not Connected");
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    EXPECT_TRUE(resultsEnabled(false));
    EXPECT_TRUE(window->RadioButton1->isEnabled());
    EXPECT_TRUE(window->RadioButton1->isChecked());

    waitForHeader("   3");
    EXPECT_TRUE(window->BitBtn1->isEnabled());
    EXPECT_TRUE(resultsEnabled(false));
    EXPECT_EQ(window->Label6->text(), "01 02 03 04 05 ");
    EXPECT_EQ(cell(1, 1), "  07 JAN  14");
    EXPECT_EQ(cell(2, 1), "    09:00");
    EXPECT_EQ(cell(2, 3), "    09:12");
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 1);  // rows show after the download
    EXPECT_EQ(card->Commands(), std::vector<uint8_t>{22});
    EXPECT_TRUE(window->Label10->text().isEmpty());
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(WindowTest, ACardThisUserMayNotOpenIsReportedInsteadOfWaitingForAHeader) {
    plugCard(cardWith({20.0, 25.0, 30.0}));
    platform.SetOpenable(card->DeviceID(), /*readWrite=*/false, /*noAccess=*/true);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return !recorder.errors().empty(); }));
    EXPECT_EQ(status(), "Connected");
    ASSERT_EQ(recorder.errors().size(), 1u);
    EXPECT_TRUE(recorder.errors()[0].contains("udev rule")) << recorder.errors()[0].toStdString();
    EXPECT_TRUE(window->download.PidText.empty());
    recorder.messages.clear();
}

TEST_F(WindowTest, StartWithoutCardThenPlugItIn) {
    openWindow();
    QTest::qWait(100);
    EXPECT_EQ(status(), "Not Connected");
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    plugCard(cardWith({5.0, 6.0}));
    waitForHeader("   2");
    EXPECT_TRUE(window->BitBtn1->isEnabled());
}

struct UnitCase {
    bool fahrenheit;
    std::vector<std::string> temperatures;
    std::string maximum, minimum, mkt, unit;
    AxisRange axis;
};

void PrintTo(const UnitCase& c, std::ostream* out) {
    *out << (c.fahrenheit ? "°F" : "°C");
}

class DownloadUnits : public WindowTest, public ::testing::WithParamInterface<UnitCase> {};

TEST_P(DownloadUnits, DownloadedAsSoonAsEveryReadingArrived) {
    const UnitCase& c = GetParam();
    plugCard(cardWith({20.0, 25.0, 30.0}), Pace::Manual);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    card->Send();
    waitForHeader("   3");
    if (c.fahrenheit) {
        window->RadioButton2->click();
    }
    window->BitBtn1->click();
    EXPECT_EQ(window->Label10->text(), "Please Wait");
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(window->Timer1->isActive());
    // The unit is fixed from DOWNLOAD on.
    EXPECT_FALSE(window->RadioButton1->isEnabled());
    EXPECT_FALSE(window->RadioButton2->isEnabled());
    EXPECT_TRUE(resultsEnabled(false));
    ASSERT_TRUE(waitFor([&] { return card->Outbox() == 1; }));
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 11}));
    card->Send();
    ASSERT_TRUE(waitFor([&] { return window->isDownloaded(); }));

    EXPECT_EQ(window->ProgressBar1->value(), 100);
    ASSERT_EQ(window->StringGrid1->cells().rowCount(), 4);
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(cell(0, row), std::to_string(row));
        EXPECT_EQ(cell(3, row), "            " + c.temperatures[row - 1]);
    }
    ASSERT_NE(window->Chart1->readingSeries(), nullptr);
    EXPECT_EQ(window->Chart1->readingSeries()->count(), 3);
    EXPECT_EQ(window->Chart1->series2()->count(), 3);
    EXPECT_EQ(window->Chart1->pointLabel(0), "07Jan14  09:00");
    EXPECT_EQ(window->Chart1->pointLabel(2), "07Jan14  09:12");
    EXPECT_EQ(window->Label12->text().toStdString(), c.maximum);
    EXPECT_EQ(window->Label13->text().toStdString(), c.minimum);
    EXPECT_EQ(window->Label14->text().toStdString(), c.mkt);
    EXPECT_EQ(window->Label7->text(), "  07 JAN  14,");
    EXPECT_EQ(window->Label8->text(), "    09:00");
    EXPECT_EQ(window->Label1->text(), "  07 JAN  14,");
    EXPECT_EQ(window->Label11->text(), "    09:12");
    EXPECT_EQ(window->Label19->text(), "0 Hour(s),  12 Minute(s)");
    EXPECT_EQ(window->Label4->text().toStdString(), c.unit);
    // Ordinary values leave the unit captions at their places.
    for (const QLabel* unit : {window->Label4, window->Label5, window->Label20})
        EXPECT_EQ(unit->x(), 967) << unit->objectName().toStdString();
    EXPECT_EQ(window->Chart1->yRange(), c.axis);

    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    EXPECT_FALSE(window->RadioButton1->isEnabled());
    EXPECT_FALSE(window->RadioButton2->isEnabled());
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_TRUE(recorder.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Units, DownloadUnits,
    ::testing::Values(
        UnitCase{false, {"20.0", "25.0", "30.0"}, "   30.0", "   20.0", "25.9", "°C", {-20, 70}},
        UnitCase{true, {"68.0", "77.0", "86.0"}, "   86.0", "   68.0", "78.5", "°F", {-4, 158}}),
    [](const auto& info) { return info.param.fahrenheit ? "Fahrenheit" : "Celsius"; });

// A full card at USB full-speed pace, one report per millisecond: the window shows what the
// parse of the whole card image gives, grid, chart and statistics alike.
TEST_F(WindowTest, AFullCardAtUsbPaceShowsExactlyTheParseOfItsImage) {
    std::vector<double> values;
    for (int i = 0; i < kMaxReadings; ++i) {
        values.push_back(-10.0 + (i * 37 % 400) * 0.125);
    }
    const LoggerCardImage image = cardWith(values);
    plugCard(image, Pace::UsbFullSpeed);
    openWindow();
    waitForHeader("   14400");
    download();
    ASSERT_TRUE(window->isDownloaded()) << window->Label10->text().toStdString();

    // The same bytes through the header and reading parse alone.
    DownloadState state;
    CellStore grid;
    WriteGridCaptions(grid, TemperatureUnit::Celsius);
    const LocaleSettings english;
    ApplyHeaderReport(state, grid, 0, image.Header().data(), image.Header().size(), english);
    AppendReadingBytes(state, image.Stream().data(), image.Stream().size());
    StartLogClock(state);
    ParseResult expected;
    ParseReadings(state, grid, TemperatureUnit::Celsius, english, expected);

    const CellStore& shown = window->StringGrid1->cells();
    ASSERT_EQ(shown.rowCount(), grid.rowCount());
    for (int row = 0; row < grid.rowCount(); ++row) {
        for (int column = 0; column < CellStore::kColumns; ++column) {
            ASSERT_EQ(shown.cell(column, row), grid.cell(column, row)) << column << "," << row;
        }
    }
    ASSERT_NE(window->Chart1->readingSeries(), nullptr);
    const auto points = window->Chart1->readingSeries()->points();
    ASSERT_EQ(points.size(), static_cast<qsizetype>(expected.points.size()));
    for (std::size_t i = 0; i < expected.points.size(); i += 97) {
        EXPECT_EQ(points[static_cast<qsizetype>(i)].y(), expected.points[i].value) << i;
        EXPECT_EQ(window->Chart1->pointLabel(static_cast<int>(i)).toStdString(),
                  expected.points[i].label);
    }
    EXPECT_EQ(window->Label12->text().toStdString(), expected.statistics.maximum);
    EXPECT_EQ(window->Label13->text().toStdString(), expected.statistics.minimum);
    EXPECT_EQ(window->Label14->text().toStdString(), expected.statistics.mkt);
    EXPECT_EQ(window->Label19->text().toStdString(), expected.statistics.elapsed);
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(WindowTest, DownloadWhileTheHeaderAnswerIsOnItsWayIsRefusedSoNoReadingShifts) {
    plugCard(cardWith({1.0, 2.0}), Pace::Manual);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    card->Send();
    waitForHeader("   2");
    // Another device comes: the card is asked for its header again.
    SimHidPlatform::DeviceSpec keyboardSpec;
    keyboardSpec.VendorID = 0x1234;
    keyboardSpec.ProductID = 0x5678;
    const uint32_t keyboard = platform.Plug(keyboardSpec);
    ASSERT_TRUE(waitFor([&] { return card->Commands().size() == 2; }));
    window->BitBtn1->click();
    ASSERT_EQ(recorder.errors().size(), 1u);
    EXPECT_TRUE(recorder.errors()[0].startsWith("The card has not sent its header yet."));
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 22}));
    card->Send();  // the header arrives
    ASSERT_TRUE(waitFor([&] { return !window->flow().AwaitingHeader(); }));
    window->BitBtn1->click();
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 22, 11}));
    card->Send();
    ASSERT_TRUE(waitFor([&] { return window->isDownloaded(); }));
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(cell(3, 1), "            1.0");
    platform.Unplug(keyboard);
}

TEST_F(WindowTest, ACardThatStopsSendingShowsWhatArrivedAndCanBeDownloadedAgain) {
    plugCard(cardWith(ramp(100)));
    card->SetReadingReportLimit(1);  // 32 of 100 readings, then silence
    openWindow();
    waitForHeader("   100");
    download();
    EXPECT_EQ(window->Label10->text(), "Incomplete: 32 of 100");
    ASSERT_TRUE(waitFor([&] { return !recorder.errors().empty(); }));  // shown after the handler
    ASSERT_EQ(recorder.errors().size(), 1u);
    EXPECT_TRUE(recorder.errors()[0].startsWith("The card stopped sending: 32 of 100"))
        << recorder.errors()[0].toStdString();
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 33);
    EXPECT_EQ(cell(3, 32), "            17.5");
    EXPECT_EQ(window->Chart1->readingSeries()->count(), 32);
    EXPECT_EQ(window->Label11->text(), "    12:06");  // the statistics stop at reading 32
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_TRUE(window->BitBtn1->isEnabled());
    EXPECT_FALSE(window->RadioButton2->isEnabled());
    EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);

    card->SetReadingReportLimit(SIZE_MAX);
    download();
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 101);
    EXPECT_EQ(cell(3, 100), "            51.5");
    EXPECT_EQ(recorder.errors().size(), 1u);
}

TEST_F(WindowTest, UnplugBeforeDownloadEmptiesThePidAndReplugReadsTheHeaderAgain) {
    plugCard(cardWith({1.0, 2.0}));
    openWindow();
    waitForHeader("   2");
    card->Unplug();
    ASSERT_TRUE(waitFor([&] { return status() == "Not Connected"; }));
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    EXPECT_TRUE(window->download.PidText.empty());
    EXPECT_EQ(window->Label6->text(), "01 02 03 04 05 ");  // keeps its caption
    EXPECT_FALSE(window->cardLink().HasCard());
    card->Plug();
    ASSERT_TRUE(
        waitFor([&] { return status() == "Connected" && !window->download.PidText.empty(); }));
    EXPECT_TRUE(window->BitBtn1->isEnabled());
}

TEST_F(WindowTest, UnplugDuringTheDownloadShowsWhatArrived) {
    plugCard(cardWith(ramp(100)), Pace::Manual);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    card->Send();
    waitForHeader("   100");
    window->BitBtn1->click();
    ASSERT_TRUE(waitFor([&] { return card->Outbox() == 4; }));
    card->Send(2);
    ASSERT_TRUE(waitFor([&] { return window->ProgressBar1->value() == 64; }));
    card->Unplug();
    ASSERT_TRUE(waitFor([&] { return status() == "Not Connected"; }));
    EXPECT_EQ(window->Label10->text(), "Incomplete: 64 of 100");
    EXPECT_EQ(cell(3, 64), "            33.5");
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !recorder.errors().empty(); }));  // shown after the handler
    ASSERT_EQ(recorder.errors().size(), 1u);
    EXPECT_TRUE(recorder.errors()[0].contains("unplugged"));
}

// The card stays plugged in, but its reads fail: the download ends with what arrived, kept, and
// DOWNLOAD asks the card again.
TEST_F(WindowTest, ACardWhoseReadsFailEndsTheDownloadWithWhatArrived) {
    plugCard(cardWith(ramp(100)), Pace::Manual);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    card->Send();
    waitForHeader("   100");
    window->BitBtn1->click();
    ASSERT_TRUE(waitFor([&] { return card->Outbox() == 4; }));
    card->Send(2);
    ASSERT_TRUE(waitFor([&] { return window->ProgressBar1->value() == 64; }));
    platform.SetReadError(card->DeviceID(), EPROTO);
    ASSERT_TRUE(waitFor([&] { return !window->isStaging(); }));
    EXPECT_EQ(window->Label10->text(), "Incomplete: 64 of 100");
    EXPECT_EQ(status(), "Connected");
    EXPECT_TRUE(window->BitBtn1->isEnabled());
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_EQ(cell(3, 64), "            33.5");
    window->records->waitForKeeping();
    ASSERT_TRUE(window->records->shown().has_value());
    EXPECT_FALSE(window->records->shown()->complete);
    EXPECT_EQ(window->records->shown()->readings.size(), 128u);
    ASSERT_TRUE(waitFor([&] { return !recorder.errors().empty(); }));
    ASSERT_EQ(recorder.errors().size(), 1u);
    EXPECT_EQ(recorder.errors()[0],
              "The card stopped answering: Protocol error: 64 of 100 readings arrived. They are "
              "shown and kept. Press DOWNLOAD to try again.");

    platform.SetReadError(card->DeviceID(), 0);
    window->BitBtn1->click();
    EXPECT_EQ(window->Label10->text(), "Please Wait");
    ASSERT_TRUE(waitFor([&] { return card->Commands().size() == 3; }));
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 11, 11}));
}

TEST_F(WindowTest, AfterDownloadedTheResultsStayThroughUnplugAndReplug) {
    plugCard(cardWith({1.0, 2.0, 3.0}));
    openWindow();
    waitForHeader("   3");
    download();
    ASSERT_TRUE(window->isDownloaded());

    card->Unplug();
    ASSERT_TRUE(waitFor([&] { return status() == "Not Connected"; }));
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    EXPECT_EQ(window->Label10->text(), "Downloaded");

    card->Plug();  // plugged in anew: it may be downloaded again
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    ASSERT_TRUE(waitFor([&] { return !window->download.PidText.empty(); }));
    EXPECT_TRUE(window->BitBtn1->isEnabled());
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_EQ(cell(3, 3), "            3.0");  // the results stay
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(WindowTest, OnlyTheFirstOfTwoCardsIsCheckedOutAndOtherProductsAreIgnored) {
    SimHidPlatform::DeviceSpec lookalike;
    lookalike.ProductID = 0x1111;  // our vendor, another product
    platform.Plug(lookalike);
    plugCard(cardWith({1.0}, {1, 2, 3, 4, 5}));
    other = std::make_unique<SimLoggerCard>(platform, cardWith({9.0, 9.0}, {9, 9, 9, 9, 9}));
    other->Plug();
    openWindow();
    waitForHeader("   1");
    EXPECT_EQ(window->Label6->text(), "01 02 03 04 05 ");
    EXPECT_EQ(card->Commands(), std::vector<uint8_t>{22});
    EXPECT_TRUE(other->Commands().empty());
}

TEST_F(WindowTest, AProductThatIsNotTheCardIsNotConnected) {
    SimHidPlatform::DeviceSpec lookalike;
    lookalike.ProductID = 0x1111;
    platform.Plug(lookalike);
    openWindow();
    QTest::qWait(100);
    EXPECT_EQ(status(), "Not Connected");
    EXPECT_FALSE(window->cardLink().HasCard());
}

TEST_F(WindowTest, ClosingTheWindowGivesTheCardBack) {
    plugCard(cardWith({1.0}));
    openWindow();
    waitForHeader("   1");
    ASSERT_GT(platform.OpenHandleCount(card->DeviceID()), 0);
    window->close();
    EXPECT_FALSE(window->cardLink().HasCard());
    EXPECT_EQ(platform.OpenHandleCount(card->DeviceID()), 0);
    window.reset();
    EXPECT_EQ(platform.OpenHandleCount(card->DeviceID()), 0);
}

TEST_F(WindowTest, TheUnitSwitchChangesCaptionsAxisAndUnitLabelsOnly) {
    openWindow();
    QTest::qWait(20);
    window->RadioButton2->click();
    EXPECT_EQ(window->Chart1->yRange(), (AxisRange{-4, 158}));
    EXPECT_EQ(window->Chart1->unit(), TemperatureUnit::Fahrenheit);
    EXPECT_EQ(window->StringGrid1->cells().cell(3, 0), "Temperature (°F)");
    for (QLabel* label : {window->Label4, window->Label5, window->Label20}) {
        EXPECT_EQ(label->text(), "°F");
    }
    EXPECT_EQ(window->RpLabel24, "°F");
    EXPECT_EQ(window->RpLabel25, "°F");
    EXPECT_EQ(window->RpLabel29, "°F");
    window->RadioButton1->click();
    EXPECT_EQ(window->Chart1->yRange(), (AxisRange{-20, 70}));
    EXPECT_EQ(window->StringGrid1->cells().cell(3, 0), "Temperature (°C)");
    EXPECT_EQ(window->Label20->text(), "°C");
    EXPECT_EQ(window->RpLabel29, "°C");
}

TEST_F(WindowTest, ZoomButtonsReturnToTheUnitRangeOnUndo) {
    plugCard(cardWith(ramp(40)));
    openWindow();
    waitForHeader("   40");
    download();
    window->BitBtn3->click();  // undo with no zoom: nothing changes
    EXPECT_EQ(window->Chart1->yRange(), (AxisRange{-20, 70}));
    window->BitBtn4->click();
    window->BitBtn4->click();
    window->BitBtn5->click();
    EXPECT_NE(window->Chart1->yRange(), (AxisRange{-20, 70}));
    window->BitBtn3->click();
    EXPECT_EQ(window->Chart1->yRange(), (AxisRange{-20, 70}));
}

TEST_F(WindowTest, TheErrorWrapperShowsTheMessageAndTheProgramGoesOn) {
    openWindow();
    runHandler(window.get(), [] { throw std::runtime_error("Cannot do that"); });
    runHandler(window.get(), [] { throw 42; });
    int ran = 0;
    runHandler(window.get(), [&] { ++ran; });
    ASSERT_EQ(recorder.errors().size(), 2u);
    EXPECT_EQ(recorder.errors()[0], "Cannot do that");
    EXPECT_EQ(recorder.errors()[1], "An unexpected error occurred.");
    EXPECT_EQ(ran, 1);
}

TEST_F(WindowTest, CopyButtonsPutTheRowsOnTheClipboard) {
    plugCard(cardWith({20.0, 25.0}));
    openWindow();
    waitForHeader("   2");
    download();
    window->BitBtn11->click();
    EXPECT_EQ(QApplication::clipboard()->text(),
              "1\t  07 JAN  14\t    09:00\t            20.0\r\n"
              "2\t  07 JAN  14\t    09:06\t            25.0");
    window->StringGrid1->selectRowRange(0, 1);
    window->BitBtn12->click();
    EXPECT_EQ(QApplication::clipboard()->text(),
              " Points\t       Date\t    Time\tTemperature (°C)\r\n"
              "1\t  07 JAN  14\t    09:00\t            20.0");
    EXPECT_TRUE(recorder.messages.empty());
}

}  // namespace
}  // namespace halvik::testing
