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
#include <iostream>

#include "AppTestSupport.h"
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

    // Presses DOWNLOAD and takes the staging timer into the test's hands.
    void pressDownload() {
        ASSERT_TRUE(window->BitBtn1->isEnabled());
        window->BitBtn1->click();
        window->Timer1->stop();
    }

    void waitForReadingBytes(std::size_t readings) {
        ASSERT_TRUE(waitFor([&] { return window->download.DownloadText.size() >= 6 * readings; }));
    }

    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            runHandler(window.get(), [&] { window->Timer1Timer(); });
        }
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

TEST_P(DownloadUnits, ParseAtTheFourthTickAndDownloadedAtTheTenth) {
    const UnitCase& c = GetParam();
    plugCard(cardWith({20.0, 25.0, 30.0}));
    openWindow();
    waitForHeader("   3");
    if (c.fahrenheit) {
        window->RadioButton2->click();
    }
    pressDownload();
    EXPECT_EQ(window->Label10->text(), "Please Wait");
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(window->Timer1->interval(), 3);
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 11}));
    waitForReadingBytes(3);

    tick(3);
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 1);
    EXPECT_EQ(window->Chart1->readingSeries(), nullptr);

    tick();  // 40: the parse
    EXPECT_EQ(window->ProgressBar1->value(), 40);
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

    tick(5);
    EXPECT_EQ(window->Label10->text(), "Please Wait");
    EXPECT_TRUE(resultsEnabled(false));

    tick();  // 100: complete
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    EXPECT_FALSE(window->RadioButton1->isEnabled());
    EXPECT_FALSE(window->RadioButton2->isEnabled());
    EXPECT_TRUE(window->isDownloaded());
    EXPECT_TRUE(recorder.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Units, DownloadUnits,
    ::testing::Values(
        UnitCase{false, {"20.0", "25.0", "30.0"}, "   30.0", "   20.0", "25.9", "°C", {-20, 70}},
        UnitCase{true, {"68.0", "77.0", "86.0"}, "   86.0", "   68.0", "78.5", "°F", {-4, 158}}),
    [](const auto& info) { return info.param.fahrenheit ? "Fahrenheit" : "Celsius"; });

TEST_F(WindowTest, TheStagingTimerRunsTheDownloadToTheEndByItself) {
    // 150 readings: 150 ms a tick, time enough for the card's five reports before the parse.
    plugCard(cardWith(ramp(150)));
    openWindow();
    waitForHeader("   150");
    window->BitBtn1->click();
    EXPECT_EQ(window->Timer1->interval(), 150);
    ASSERT_TRUE(waitFor([&] { return window->Label10->text() == "Downloaded"; }));
    EXPECT_EQ(cell(3, 150), "            76.5");
    EXPECT_TRUE(resultsEnabled(true));
    // The completion step keeps repeating, at a calm pace.
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_GE(window->Timer1->interval(), TForm3::kDownloadedTickMs);
}

TEST_F(WindowTest, DownloadBeforeAnyHeaderShowsTheConversionErrorAndSendsNothing) {
    plugCard(cardWith({1.0}), Pace::Manual);  // the header is never sent
    openWindow();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    window->BitBtn1->click();
    ASSERT_EQ(recorder.errors().size(), 1u);
    EXPECT_EQ(recorder.errors()[0], "'' is not a valid integer value");
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(card->Commands(), std::vector<uint8_t>{22});
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
    QTest::qWait(100);
    pressDownload();
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 22, 11}));
    card->Send();
    waitForReadingBytes(2);
    tick(10);
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(cell(3, 1), "            1.0");
    platform.Unplug(keyboard);
}

TEST_F(WindowTest, ACardWithoutReadingsSaysSoInsteadOfWaitingForever) {
    plugCard(cardWith({}));
    openWindow();
    waitForHeader("   0");
    window->BitBtn1->click();
    EXPECT_EQ(window->Label10->text(), TForm3::kNoReadingsText);
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(card->Commands(), std::vector<uint8_t>{22});
    EXPECT_TRUE(window->BitBtn1->isEnabled());
}

TEST_F(WindowTest, AShortStreamFailsTheParseClaimsNothingAndDownloadCanBePressedAgain) {
    // 40 readings announced, 10 sent: one 64-byte report where 80 bytes are needed.
    LoggerCardImage shortImage = cardWith(ramp(40));
    shortImage.MutableStream().resize(20);
    plugCard(shortImage);
    openWindow();
    waitForHeader("   40");
    pressDownload();
    waitForReadingBytes(10);
    tick(4);
    ASSERT_EQ(recorder.errors().size(), 1u);
    EXPECT_EQ(recorder.errors()[0], "'' is not a valid integer value");
    EXPECT_TRUE(window->lastParseFailed());
    EXPECT_EQ(window->Label10->text(), TForm3::kDownloadFailedText);
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(window->BitBtn1->isEnabled());
    EXPECT_TRUE(resultsEnabled(false));
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 1);
    EXPECT_EQ(window->Chart1->readingSeries(), nullptr);
    QTest::qWait(100);
    EXPECT_NE(window->Label10->text(), "Downloaded");

    // The user fixes the card (here: a good one) and presses DOWNLOAD again.
    card->Unplug();
    ASSERT_TRUE(waitFor([&] { return status() == "Not Connected"; }));
    card.reset();
    plugCard(cardWith(ramp(40)));
    waitForHeader("   40");
    pressDownload();
    waitForReadingBytes(40);
    tick(10);
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 41);
    EXPECT_EQ(cell(3, 1), "            2.0");
    EXPECT_EQ(cell(3, 40), "            21.5");
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
    EXPECT_EQ(window->pic18, nullptr);
    card->Plug();
    ASSERT_TRUE(
        waitFor([&] { return status() == "Connected" && !window->download.PidText.empty(); }));
    EXPECT_TRUE(window->BitBtn1->isEnabled());
}

TEST_F(WindowTest, UnplugDuringStagingStillParsesWhatArrived) {
    plugCard(cardWith({10.0, 11.0, 12.0}));
    openWindow();
    waitForHeader("   3");
    pressDownload();
    waitForReadingBytes(3);
    card->Unplug();
    ASSERT_TRUE(waitFor([&] { return status() == "Not Connected"; }));
    tick(10);
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(cell(3, 3), "            12.0");
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(WindowTest, ACardRepluggedBeforeItsReadingsArrivedEndsInAFailedDownloadThatCanBeRepeated) {
    plugCard(cardWith(ramp(40)), Pace::Manual);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    card->Send();
    waitForHeader("   40");
    pressDownload();
    card->Unplug();
    ASSERT_TRUE(waitFor([&] { return status() == "Not Connected"; }));
    card->Plug();  // a new connection: the header is asked for again
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    ASSERT_TRUE(waitFor([&] { return card->Outbox() > 0; }));
    card->Send();  // the new header, for ShowPID; the readings of the first command are gone
    QTest::qWait(50);
    tick(4);
    EXPECT_EQ(window->Label10->text(), TForm3::kDownloadFailedText);
    EXPECT_TRUE(resultsEnabled(false));
    ASSERT_EQ(recorder.errors().size(), 1u);

    pressDownload();
    ASSERT_TRUE(waitFor([&] { return card->Outbox() == 2; }));
    card->Send();
    waitForReadingBytes(40);
    tick(10);
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(cell(3, 40), "            21.5");
}

TEST_F(WindowTest, AnotherDeviceComingAndGoingDuringStagingLeavesTheDownloadAlone) {
    plugCard(cardWith(ramp(40)), Pace::Manual);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    card->Send();  // the header
    waitForHeader("   40");
    pressDownload();
    ASSERT_TRUE(waitFor([&] { return card->Outbox() == 2; }));
    card->Send(1);
    waitForReadingBytes(21);

    SimHidPlatform::DeviceSpec mouse;
    mouse.VendorID = 0x046d;
    mouse.ProductID = 0xc077;
    const uint32_t mouseId = platform.Plug(mouse);
    ASSERT_TRUE(waitFor([&] { return platform.PendingNotices() == 0; }));
    QTest::qWait(50);
    platform.Unplug(mouseId);
    ASSERT_TRUE(waitFor([&] { return platform.PendingNotices() == 0; }));
    QTest::qWait(50);
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 11}));

    card->Send();
    waitForReadingBytes(40);
    tick(10);
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(cell(3, 21), "            12.0");
    EXPECT_EQ(cell(3, 40), "            21.5");
    EXPECT_EQ(window->Label9->text(), "   40");
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(WindowTest, AfterDownloadedUnplugAndReplugAreUndoneByTheNextTick) {
    plugCard(cardWith({1.0, 2.0, 3.0}));
    openWindow();
    waitForHeader("   3");
    pressDownload();
    waitForReadingBytes(3);
    tick(10);
    ASSERT_TRUE(window->isDownloaded());

    card->Unplug();
    ASSERT_TRUE(waitFor([&] { return status() == "Not Connected"; }));
    EXPECT_TRUE(resultsEnabled(false));
    tick();
    EXPECT_TRUE(resultsEnabled(true));
    EXPECT_EQ(window->Label10->text(), "Downloaded");

    card->Plug();
    ASSERT_TRUE(waitFor([&] { return status() == "Connected"; }));
    EXPECT_TRUE(window->BitBtn1->isEnabled());
    tick();
    EXPECT_FALSE(window->BitBtn1->isEnabled());
    EXPECT_EQ(cell(3, 3), "            3.0");  // the results stay
}

TEST_F(WindowTest, DownloadPressedTwiceRestartsTheStagingAndParsesFromTheStart) {
    plugCard(cardWith({1.0, 2.0, 3.0}));
    openWindow();
    waitForHeader("   3");
    pressDownload();
    waitForReadingBytes(3);
    const std::size_t once = window->download.DownloadText.size();
    tick(2);
    pressDownload();
    EXPECT_EQ(window->ProgressBar1->value(), 0);
    ASSERT_TRUE(waitFor([&] { return window->download.DownloadText.size() == 2 * once; }));
    EXPECT_EQ(card->Commands(), (std::vector<uint8_t>{22, 11, 11}));
    tick(3);
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 1);
    tick();
    EXPECT_EQ(window->StringGrid1->cells().rowCount(), 4);
    EXPECT_EQ(cell(3, 1), "            1.0");
    EXPECT_EQ(window->Chart1->readingSeries()->count(), 3);
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
    EXPECT_EQ(window->pic18, nullptr);
}

TEST_F(WindowTest, ClosingTheWindowGivesTheCardBack) {
    plugCard(cardWith({1.0}));
    openWindow();
    waitForHeader("   1");
    ASSERT_GT(platform.OpenHandleCount(card->DeviceID()), 0);
    window->close();
    EXPECT_EQ(window->pic18, nullptr);
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
    pressDownload();
    waitForReadingBytes(40);
    tick(10);
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
    pressDownload();
    waitForReadingBytes(2);
    tick(10);
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
