// SPDX-License-Identifier: GPL-3.0-or-later
// The download flow without a window: the card's reports arrive in the pieces a test chooses, the
// clock is the test's, and the sink records what the window would show.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "HeaderBytes.h"
#include "TestLocales.h"
#include "devicelink/sim/LoggerCard.h"
#include "download/DownloadFlow.h"
#include "logger/Command.h"
#include "logger/LoggerError.h"

namespace halvik {
namespace {

using namespace std::chrono_literals;
using test::HeaderFields;

struct RecordingSink : DownloadFlow::Sink {
    std::vector<std::uint8_t> commands;
    bool acceptCommands = true;
    std::vector<HeaderResult> headers;
    std::vector<ParseResult> parses;
    std::vector<DownloadView> views;
    std::vector<std::string> problems;
    std::vector<DownloadEnd> ends;

    bool SendCommand(std::uint8_t command, std::string& reason) override {
        if (!acceptCommands) {
            reason = "the device refused the write (EPIPE)";
            return false;
        }
        commands.push_back(command);
        return true;
    }
    void ShowHeader(const HeaderResult& header) override { headers.push_back(header); }
    void ShowReadings(const ParseResult& result) override { parses.push_back(result); }
    void ShowView(const DownloadView& view) override { views.push_back(view); }
    void ShowProblem(const std::string& message) override { problems.push_back(message); }
    void DownloadEnded(const DownloadEnd& end) override { ends.push_back(end); }
};

// Reading bytes of `count` readings: 2.0, 2.5, 3.0, ... in °C.
std::vector<std::uint8_t> ReadingBytes(int count) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const CardReading r = EncodeReading(2.0 + 0.5 * (i % 40));
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    return bytes;
}

// The card's answer to command 11: 64-byte reports, the last padded with zeros.
std::vector<std::vector<std::uint8_t>> Reports(const std::vector<std::uint8_t>& stream) {
    std::vector<std::vector<std::uint8_t>> reports;
    for (std::size_t at = 0; at < stream.size(); at += 64) {
        std::vector<std::uint8_t> report(64, 0);
        std::copy(stream.begin() + static_cast<std::ptrdiff_t>(at),
                  stream.begin() + static_cast<std::ptrdiff_t>(std::min(at + 64, stream.size())),
                  report.begin());
        reports.push_back(std::move(report));
    }
    return reports;
}

struct Flow {
    DownloadState state;
    CellStore grid;
    RecordingSink sink;
    LocaleSettings locale = test::English();
    std::chrono::steady_clock::time_point now{};
    DownloadFlow flow{state, grid, locale, sink, [this] { return now; }};

    explicit Flow(int count, HeaderFields header = {}) {
        header.count = count;
        EXPECT_TRUE(flow.CardConnected(false, true));
        const auto bytes = test::HeaderBytes(header);
        flow.HeaderReport(0, bytes.data(), bytes.size());
    }

    void send(const std::vector<std::uint8_t>& report) {
        flow.ReadingReport(0, report.data(), report.size());
    }
    void wait(std::chrono::milliseconds span) {
        // The owner's timer ticks every kTickMs.
        for (auto waited = 0ms; waited < span; waited += 100ms) {
            now += 100ms;
            flow.Tick();
        }
    }
    std::string cell(int column, int row) const { return grid.cell(column, row); }
};

TEST(DownloadFlow, AHeaderIsAskedForAndShownWhenTheCardConnects) {
    Flow f(3);
    EXPECT_EQ(f.sink.commands, std::vector<std::uint8_t>{kCommandSendHeader});
    ASSERT_EQ(f.sink.headers.size(), 1u);
    EXPECT_EQ(f.sink.headers[0].pidLabel, "01 02 03 04 05 ");
    EXPECT_EQ(f.sink.headers[0].dataPointsLabel, "   3");
    EXPECT_EQ(f.flow.View().connection, "Connected");
    EXPECT_TRUE(f.flow.View().downloadEnabled);
    EXPECT_FALSE(f.flow.View().resultsEnabled);
    EXPECT_EQ(f.cell(1, 1), "  07 JAN  14");
    EXPECT_FALSE(f.flow.AwaitingHeader());
}

// How the readings arrive: in reports, in odd-sized pieces, with extra reports after the end.
struct StreamCase {
    const char* name;
    int readings;
    std::size_t piece;  // bytes per delivery; 0: the card's 64-byte reports
    int extraReports;
    TemperatureUnit unit;
};

class CompleteStreams : public ::testing::TestWithParam<StreamCase> {};

TEST_P(CompleteStreams, EndAsSoonAsEveryReadingByteArrived) {
    const StreamCase& c = GetParam();
    Flow f(c.readings);
    ASSERT_TRUE(f.flow.Download(c.unit));
    EXPECT_EQ(f.sink.commands.back(), kCommandSendReadings);
    EXPECT_EQ(f.flow.View().status, "Please Wait");
    EXPECT_TRUE(f.flow.View().busy);
    EXPECT_FALSE(f.flow.View().unitEnabled);  // fixed from DOWNLOAD on
    EXPECT_TRUE(f.flow.TicksWanted());

    const std::vector<std::uint8_t> stream = ReadingBytes(c.readings);
    std::vector<std::vector<std::uint8_t>> deliveries;
    if (c.piece == 0) {
        deliveries = Reports(stream);
    } else {
        std::vector<std::uint8_t> padded = stream;
        padded.resize((stream.size() + 63) / 64 * 64, 0);
        for (std::size_t at = 0; at < padded.size(); at += c.piece)
            deliveries.emplace_back(padded.begin() + static_cast<std::ptrdiff_t>(at),
                                    padded.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(at + c.piece, padded.size())));
    }
    for (int i = 0; i < c.extraReports; ++i)
        deliveries.push_back(std::vector<std::uint8_t>(64, 0x7F));

    int progress = 0;
    for (std::size_t i = 0; i < deliveries.size(); ++i) {
        const bool lastNeeded = f.flow.ReceivedBytes() + deliveries[i].size() >= stream.size();
        f.send(deliveries[i]);
        if (!lastNeeded) {
            EXPECT_EQ(f.flow.Phase(), DownloadPhase::Staging) << i;
            EXPECT_GE(f.flow.View().progress, progress);
            EXPECT_LT(f.flow.View().progress, 100);
            progress = f.flow.View().progress;
        } else {
            EXPECT_EQ(f.flow.Phase(), DownloadPhase::Downloaded) << i;
        }
    }
    const DownloadView& view = f.flow.View();
    EXPECT_EQ(view.status, "Downloaded");
    EXPECT_EQ(view.progress, 100);
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(view.resultsEnabled);
    EXPECT_FALSE(view.downloadEnabled);
    EXPECT_FALSE(view.unitEnabled);
    EXPECT_FALSE(f.flow.TicksWanted());
    ASSERT_EQ(f.sink.parses.size(), 1u);
    EXPECT_EQ(f.sink.parses[0].points.size(), static_cast<std::size_t>(c.readings));
    EXPECT_TRUE(f.sink.parses[0].hasStatistics);
    EXPECT_EQ(f.grid.rowCount(), c.readings + 1);
    const bool fahrenheit = c.unit == TemperatureUnit::Fahrenheit;
    EXPECT_EQ(f.cell(3, 0), fahrenheit ? "Temperature (°F)" : "Temperature (°C)");
    EXPECT_EQ(f.cell(3, 1), fahrenheit ? "            35.6" : "            2.0");
    EXPECT_EQ(f.cell(0, c.readings), std::to_string(c.readings));
    EXPECT_TRUE(f.sink.problems.empty());
    ASSERT_EQ(f.sink.ends.size(), 1u);
    EXPECT_TRUE(f.sink.ends[0].complete);
    EXPECT_EQ(f.sink.ends[0].received, c.readings);
    EXPECT_EQ(f.sink.ends[0].unit, c.unit);
    // What arrived is kept as it came, up to the report that completed the readings.
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), f.sink.ends[0].readings.begin()));
    EXPECT_EQ(f.sink.ends[0].header.size(), 65u);

    // Reports after the end belong to no download.
    f.send(std::vector<std::uint8_t>(64, 0x80));
    EXPECT_EQ(f.sink.parses.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CompleteStreams,
    ::testing::Values(StreamCase{"OneReading", 1, 0, 0, TemperatureUnit::Celsius},
                      StreamCase{"ThreeReadingsFahrenheit", 3, 0, 0, TemperatureUnit::Fahrenheit},
                      StreamCase{"FullCard", 14400, 0, 0, TemperatureUnit::Celsius},
                      StreamCase{"OddPieces", 1440, 7, 0, TemperatureUnit::Celsius},
                      StreamCase{"SingleBytes", 33, 1, 0, TemperatureUnit::Fahrenheit},
                      StreamCase{"ExtraReports", 100, 0, 3, TemperatureUnit::Celsius}),
    [](const auto& info) { return std::string(info.param.name); });

// A card that stops: after 0, 1 and 449 of a full card's 450 reports.
struct StallCase {
    int reportsSent;
    int arrived;
    const char* status;
};

class Stalls : public ::testing::TestWithParam<StallCase> {};

TEST_P(Stalls, EndAsIncompleteWithEverythingThatArrived) {
    const StallCase& c = GetParam();
    Flow f(14400);
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    const auto reports = Reports(ReadingBytes(14400));
    for (int i = 0; i < c.reportsSent; ++i)
        f.send(reports[static_cast<std::size_t>(i)]);
    f.wait(DownloadFlow::kStallTime - 100ms);
    EXPECT_EQ(f.flow.Phase(), DownloadPhase::Staging);
    f.wait(100ms);
    ASSERT_EQ(f.flow.Phase(), DownloadPhase::Incomplete);

    const DownloadView& view = f.flow.View();
    EXPECT_EQ(view.status, c.status);
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(view.downloadEnabled);  // try again
    EXPECT_EQ(view.resultsEnabled, c.arrived > 0);
    EXPECT_EQ(view.unitEnabled, c.arrived == 0);
    ASSERT_EQ(f.sink.parses.size(), 1u);
    EXPECT_EQ(f.sink.parses[0].points.size(), static_cast<std::size_t>(c.arrived));
    EXPECT_EQ(f.sink.parses[0].hasStatistics, c.arrived > 0);
    EXPECT_EQ(f.grid.rowCount(), c.arrived + 1);
    if (c.arrived > 0) {
        EXPECT_EQ(f.cell(0, c.arrived), std::to_string(c.arrived));
        // The statistics stop at the last reading that arrived.
        EXPECT_EQ(f.sink.parses[0].statistics.stopTime, f.cell(2, c.arrived));
    }
    ASSERT_EQ(f.sink.problems.size(), 1u);
    EXPECT_NE(f.sink.problems[0].find("stopped sending"), std::string::npos);
    EXPECT_NE(f.sink.problems[0].find(std::to_string(c.arrived) + " of 14400"), std::string::npos);
    ASSERT_EQ(f.sink.ends.size(), 1u);
    EXPECT_FALSE(f.sink.ends[0].complete);
    EXPECT_EQ(f.sink.ends[0].received, c.arrived);
    EXPECT_EQ(f.sink.ends[0].readings.size(), 64u * static_cast<std::size_t>(c.reportsSent));
}

INSTANTIATE_TEST_SUITE_P(Reports, Stalls,
                         ::testing::Values(StallCase{0, 0, "Incomplete: 0 of 14400"},
                                           StallCase{1, 32, "Incomplete: 32 of 14400"},
                                           StallCase{449, 14368, "Incomplete: 14368 of 14400"}),
                         [](const auto& info) {
                             return "After" + std::to_string(info.param.reportsSent);
                         });

TEST(DownloadFlow, TheStagingTimeIsTheOuterBoundForACardThatNeverStallsButNeverEnds) {
    Flow f(100);  // ten ticks of 100 ms, plus the stall time: three seconds
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    const std::vector<std::uint8_t> trickle = {0x80, 0x00};  // one reading per report
    for (int i = 0; i < 40; ++i) {
        f.wait(100ms);
        f.send(trickle);
    }
    ASSERT_EQ(f.flow.Phase(), DownloadPhase::Incomplete);
    EXPECT_EQ(f.flow.View().status, "Incomplete: 29 of 100");  // the bound came before the 30th
    EXPECT_NE(f.sink.problems.at(0).find("in time"), std::string::npos);
}

TEST(DownloadFlow, UnplugMidDownloadShowsWhatArrivedAndDisablesDownload) {
    Flow f(1440);
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    const auto reports = Reports(ReadingBytes(1440));
    for (int i = 0; i < 10; ++i)
        f.send(reports[static_cast<std::size_t>(i)]);
    f.flow.CardGone();
    EXPECT_EQ(f.flow.Phase(), DownloadPhase::Incomplete);
    EXPECT_EQ(f.flow.View().status, "Incomplete: 320 of 1440");
    EXPECT_EQ(f.flow.View().connection, "Not Connected");
    EXPECT_FALSE(f.flow.View().downloadEnabled);
    EXPECT_TRUE(f.flow.View().resultsEnabled);
    EXPECT_TRUE(f.state.PidText.empty());
    EXPECT_EQ(f.grid.rowCount(), 321);
    ASSERT_EQ(f.sink.problems.size(), 1u);
    EXPECT_NE(f.sink.problems[0].find("unplugged"), std::string::npos);
    EXPECT_EQ(f.sink.ends.size(), 1u);
}

TEST(DownloadFlow, DownloadAgainAfterAnIncompleteOneStartsAFreshStream) {
    Flow f(100);
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    const auto reports = Reports(ReadingBytes(100));
    f.send(reports[0]);
    f.wait(DownloadFlow::kStallTime);
    ASSERT_EQ(f.flow.Phase(), DownloadPhase::Incomplete);
    EXPECT_FALSE(f.flow.View().unitEnabled);  // 32 readings are shown in °C

    // The unit cannot change for the second try: the radio buttons were disabled, and a unit
    // passed anyway is taken as asked (the grid is rewritten whole).
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    EXPECT_EQ(f.flow.ReceivedBytes(), 0u);
    EXPECT_EQ(f.flow.View().progress, 0);
    EXPECT_FALSE(f.flow.View().resultsEnabled);
    for (const auto& report : reports)
        f.send(report);
    EXPECT_EQ(f.flow.Phase(), DownloadPhase::Downloaded);
    EXPECT_EQ(f.grid.rowCount(), 101);
    EXPECT_EQ(f.sink.ends.size(), 2u);
    EXPECT_EQ(f.sink.ends[1].readings.size(), 256u);  // four whole reports
}

TEST(DownloadFlow, DownloadPressedAgainDuringStagingKeepsTheStreamAndTheUnit) {
    Flow f(100);
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    const auto reports = Reports(ReadingBytes(100));
    f.send(reports[0]);
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Fahrenheit));
    EXPECT_EQ(f.flow.Unit(), TemperatureUnit::Celsius);
    EXPECT_EQ(f.flow.ReceivedBytes(), 64u);
    f.send(reports[1]);
    f.send(reports[2]);
    f.send(reports[3]);
    EXPECT_EQ(f.flow.Phase(), DownloadPhase::Downloaded);
    EXPECT_EQ(f.cell(3, 1), "            2.0");
    EXPECT_EQ(f.sink.commands, (std::vector<std::uint8_t>{kCommandSendHeader, kCommandSendReadings,
                                                          kCommandSendReadings}));
}

TEST(DownloadFlow, AnEmptyCardSaysSoAndStagesNothing) {
    Flow f(0);
    EXPECT_FALSE(f.flow.Download(TemperatureUnit::Celsius));
    EXPECT_EQ(f.flow.View().status, "No Readings");
    EXPECT_FALSE(f.flow.TicksWanted());
    EXPECT_EQ(f.sink.commands, std::vector<std::uint8_t>{kCommandSendHeader});
}

TEST(DownloadFlow, DownloadBeforeAnyHeaderFailsWithTheConversionMessageAndSendsNothing) {
    DownloadState state;
    CellStore grid;
    RecordingSink sink;
    const LocaleSettings locale = test::English();
    DownloadFlow flow(state, grid, locale, sink);
    flow.CardConnected(false, true);
    try {
        flow.Download(TemperatureUnit::Celsius);
        FAIL() << "no error";
    } catch (const LoggerError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_EQ(sink.commands, std::vector<std::uint8_t>{kCommandSendHeader});
    EXPECT_FALSE(flow.TicksWanted());
}

TEST(DownloadFlow, ACommandTheCardDidNotTakeStagesNothing) {
    Flow f(10);
    f.sink.acceptCommands = false;
    EXPECT_FALSE(f.flow.Download(TemperatureUnit::Celsius));
    ASSERT_EQ(f.sink.problems.size(), 1u);
    EXPECT_EQ(f.sink.problems[0],
              "The card did not take the command: the device refused the write (EPIPE)");
    EXPECT_EQ(f.flow.Phase(), DownloadPhase::Idle);
    EXPECT_TRUE(f.flow.View().downloadEnabled);
    EXPECT_FALSE(f.flow.View().busy);
    EXPECT_NE(f.flow.View().status, "Please Wait");
}

TEST(DownloadFlow, AnImpossibleClockIsReportedOncePerHeaderContent) {
    HeaderFields impossible;
    impossible.day = 31;
    impossible.month = 4;
    Flow f(3, impossible);
    ASSERT_EQ(f.sink.problems.size(), 1u);
    EXPECT_NE(f.sink.problems[0].find("impossible time"), std::string::npos);
    // Another device comes and goes: the header is asked for and read again, silently.
    f.flow.CardConnected(true, true);
    impossible.count = 3;
    auto bytes = test::HeaderBytes(impossible);
    f.flow.HeaderReport(0, bytes.data(), bytes.size());
    EXPECT_EQ(f.sink.problems.size(), 1u);
    // A header with other content and the same fault is said again.
    impossible.day = 30;
    impossible.month = 2;
    bytes = test::HeaderBytes(impossible);
    f.flow.HeaderReport(0, bytes.data(), bytes.size());
    EXPECT_EQ(f.sink.problems.size(), 2u);
}

TEST(DownloadFlow, DownloadWhileTheHeaderIsOnItsWayIsRefused) {
    Flow f(3);
    f.flow.CardConnected(true, true);  // header asked for again, not answered yet
    EXPECT_TRUE(f.flow.AwaitingHeader());
    EXPECT_THROW(f.flow.Download(TemperatureUnit::Celsius), std::runtime_error);
    EXPECT_EQ(f.sink.commands.back(), kCommandSendHeader);
}

TEST(DownloadFlow, AnotherDeviceDuringStagingLeavesTheDownloadAlone) {
    Flow f(100);
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    EXPECT_FALSE(f.flow.CardConnected(true, true));
    EXPECT_EQ(f.sink.commands.back(), kCommandSendReadings);
    for (const auto& report : Reports(ReadingBytes(100)))
        f.send(report);
    EXPECT_EQ(f.flow.Phase(), DownloadPhase::Downloaded);
}

TEST(DownloadFlow, AfterADownloadANewCardsHeaderWaitsForDownload) {
    Flow f(3);
    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    f.send(Reports(ReadingBytes(3))[0]);
    ASSERT_EQ(f.flow.Phase(), DownloadPhase::Downloaded);
    const std::string firstDate = f.cell(1, 1);

    f.flow.CardGone();
    EXPECT_TRUE(f.flow.View().resultsEnabled);  // the results stay usable without the card
    EXPECT_TRUE(f.flow.CardConnected(false, true));
    EXPECT_TRUE(f.flow.View().downloadEnabled);
    HeaderFields other;
    other.day = 9;
    other.count = 2;
    auto bytes = test::HeaderBytes(other);
    f.flow.HeaderReport(0, bytes.data(), bytes.size());
    // The shown readings keep their own dates until the new card is downloaded.
    EXPECT_EQ(f.cell(1, 1), firstDate);
    EXPECT_EQ(f.sink.headers.size(), 1u);

    ASSERT_TRUE(f.flow.Download(TemperatureUnit::Celsius));
    EXPECT_EQ(f.cell(1, 1), "  09 JAN  14");
    f.send(Reports(ReadingBytes(2))[0]);
    EXPECT_EQ(f.flow.Phase(), DownloadPhase::Downloaded);
    EXPECT_EQ(f.grid.rowCount(), 3);
}

TEST(DownloadFlow, ANoAccessCardIsReportedOnceAndNotWrittenTo) {
    DownloadState state;
    CellStore grid;
    RecordingSink sink;
    const LocaleSettings locale = test::English();
    DownloadFlow flow(state, grid, locale, sink);
    EXPECT_FALSE(flow.CardConnected(false, false));
    EXPECT_FALSE(flow.CardConnected(true, false));
    ASSERT_EQ(sink.problems.size(), 1u);
    EXPECT_NE(sink.problems[0].find("udev rule"), std::string::npos);
    EXPECT_TRUE(sink.commands.empty());
}

TEST(DownloadFlow, KeptBytesShowAsTheirDownloadDidAndAreNotKeptAgain) {
    Flow original(5);
    ASSERT_TRUE(original.flow.Download(TemperatureUnit::Fahrenheit));
    original.send(Reports(ReadingBytes(5))[0]);
    ASSERT_EQ(original.sink.ends.size(), 1u);
    const DownloadEnd& end = original.sink.ends[0];

    DownloadState state;
    CellStore grid;
    RecordingSink sink;
    const LocaleSettings locale = test::English();
    DownloadFlow flow(state, grid, locale, sink);
    flow.ShowKept(end.header, end.readings, end.unit);
    EXPECT_EQ(flow.Phase(), DownloadPhase::Downloaded);
    EXPECT_TRUE(sink.ends.empty());
    for (int row = 0; row <= 5; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(grid.cell(column, row), original.grid.cell(column, row)) << column << row;

    // An incomplete one says how much of it there is.
    std::vector<std::uint8_t> half(end.readings.begin(), end.readings.begin() + 6);
    flow.ShowKept(end.header, half, end.unit);
    EXPECT_EQ(flow.Phase(), DownloadPhase::Incomplete);
    EXPECT_EQ(flow.View().status, "Incomplete: 3 of 5");
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_TRUE(sink.problems.empty());
}

}  // namespace
}  // namespace halvik
