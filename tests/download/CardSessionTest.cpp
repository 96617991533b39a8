// SPDX-License-Identifier: GPL-3.0-or-later
// The download flow over the device link without a window: the in-memory platform, the card
// model at each pace, the real report reader thread and its hand-over.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "TestLocales.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"
#include "download/CardSession.h"

namespace halvik {
namespace {

using namespace std::chrono_literals;
using Pace = SimLoggerCard::Pace;

LoggerCardImage CardOf(int readings, std::array<uint8_t, 5> pid = {1, 2, 3, 4, 5}) {
    std::vector<CardReading> values;
    for (int i = 0; i < readings; ++i)
        values.push_back(EncodeReading(-5.0 + (i % 80) * 0.25));
    CardDateTime first;
    first.year = 2024;
    first.month = 2;
    first.day = 28;
    first.hour = 23;
    first.minute = 54;
    return LoggerCardImage::Make(pid, first, values);
}

struct SessionCase {
    const char* name;
    int readings;
    Pace pace;
    std::size_t reportLimit;
    DownloadPhase phase;
    int shown;
};

class Sessions : public ::testing::TestWithParam<SessionCase> {};

TEST_P(Sessions, DownloadThroughTheReaderThread) {
    const SessionCase& c = GetParam();
    SimHidPlatform platform;
    SimLoggerCard card(platform, CardOf(c.readings), c.pace);
    card.SetReadingReportLimit(c.reportLimit);
    card.Plug();
    const LocaleSettings locale = test::English();
    CardSession session(platform, locale);
    std::vector<std::string> problems;
    session.hooks.problem = [&](const std::string& message) { problems.push_back(message); };
    ASSERT_EQ(session.Cards().size(), 1u);
    session.Connect();
    ASSERT_TRUE(session.WaitForHeader(5s));
    EXPECT_EQ(session.state().RecordCount, c.readings);
    EXPECT_TRUE(session.DownloadAll(TemperatureUnit::Celsius));
    EXPECT_EQ(session.flow().Phase(), c.phase);
    EXPECT_EQ(session.lastEnd().received, c.shown);
    EXPECT_EQ(session.grid().rowCount(), c.shown + 1);
    if (c.shown > 0) {
        // 28 February 2024 23:54, then the leap day.
        EXPECT_EQ(session.grid().cell(1, 2), "  29 FEB  24");
        EXPECT_EQ(session.grid().cell(3, 1), "            -5.0");
        EXPECT_EQ(session.grid().cell(3, c.shown), "            14.8");  // every 80th: 14.75
    }
    EXPECT_EQ(problems.size(), c.phase == DownloadPhase::Downloaded ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Paces, Sessions,
                         ::testing::Values(SessionCase{"FastFullCard", 14400, Pace::AsFastAsRead,
                                                       SIZE_MAX, DownloadPhase::Downloaded, 14400},
                                           SessionCase{"UsbPace", 1440, Pace::UsbFullSpeed,
                                                       SIZE_MAX, DownloadPhase::Downloaded, 1440},
                                           SessionCase{"StallAfterTen", 1440, Pace::UsbFullSpeed,
                                                       10, DownloadPhase::Incomplete, 320},
                                           SessionCase{"StallAtOnce", 100, Pace::AsFastAsRead, 0,
                                                       DownloadPhase::Incomplete, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CardSession, ChoosingACard) {
    SimHidPlatform platform;
    const LocaleSettings locale = test::English();
    {
        CardSession none(platform, locale);
        EXPECT_TRUE(none.Cards().empty());
        try {
            none.Connect();
            FAIL() << "connected to nothing";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "no logger card is plugged in");
        }
    }
    SimLoggerCard first(platform, CardOf(3, {1, 1, 1, 1, 1}));
    SimLoggerCard second(platform, CardOf(4, {2, 2, 2, 2, 2}));
    first.Plug();
    second.Plug();
    CardSession session(platform, locale);
    const auto cards = session.Cards();
    ASSERT_EQ(cards.size(), 2u);
    try {
        session.Connect();
        FAIL() << "two cards and none named";
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("several logger cards"), std::string::npos);
        EXPECT_NE(message.find(cards[0].path), std::string::npos);
        EXPECT_NE(message.find(cards[1].path), std::string::npos);
    }
    session.Connect(cards[1].path);
    ASSERT_TRUE(session.WaitForHeader(5s));
    EXPECT_EQ(session.state().PidText, "02 02 02 02 02 ");
    EXPECT_THROW(session.Connect("/dev/hidraw99"), std::runtime_error);
}

TEST(CardSession, ACardUnpluggedMidDownloadEndsIncompleteWithWhatArrived) {
    SimHidPlatform platform;
    SimLoggerCard card(platform, CardOf(1440), Pace::UsbFullSpeed);
    card.Plug();
    const LocaleSettings locale = test::English();
    CardSession session(platform, locale);
    session.hooks.view = [&](const DownloadView& view) {
        if (view.progress >= 50 && view.busy)
            card.Unplug();
    };
    session.Connect();
    ASSERT_TRUE(session.WaitForHeader(5s));
    EXPECT_TRUE(session.DownloadAll(TemperatureUnit::Fahrenheit));
    EXPECT_EQ(session.flow().Phase(), DownloadPhase::Incomplete);
    EXPECT_FALSE(session.lastEnd().complete);
    EXPECT_GE(session.lastEnd().received, 720);
    EXPECT_LT(session.lastEnd().received, 1440);
    EXPECT_EQ(session.lastEnd().unit, TemperatureUnit::Fahrenheit);
    EXPECT_EQ(session.flow().View().connection, "Not Connected");
    EXPECT_EQ(session.lastEnd().reason, "The card was unplugged during the download");
}

// A card that stays plugged in while its reads fail. An error that means the card has gone waits
// for the unplug notice (here none comes, so the download stalls); any other ends the download
// at once with the error's words, keeping what arrived.
struct ReadErrorCase {
    const char* name;
    int error;
    std::string reason;
};

class ReadErrors : public ::testing::TestWithParam<ReadErrorCase> {};

TEST_P(ReadErrors, EndTheDownloadWithWhatArrived) {
    const ReadErrorCase& c = GetParam();
    SimHidPlatform platform;
    SimLoggerCard card(platform, CardOf(100), Pace::Manual);
    card.Plug();
    const LocaleSettings locale = test::English();
    std::chrono::steady_clock::duration skipped{};
    CardSession session(platform, locale,
                        [&skipped] { return std::chrono::steady_clock::now() + skipped; });
    std::vector<std::string> problems;
    session.hooks.problem = [&](const std::string& message) { problems.push_back(message); };
    session.Connect();
    card.Send();
    ASSERT_TRUE(session.WaitForHeader(5s));
    ASSERT_TRUE(session.StartDownload(TemperatureUnit::Celsius));
    for (int i = 0; i < 2000 && card.Outbox() < 4; ++i)
        session.Pump(1ms);
    card.Send(2);
    for (int i = 0; i < 2000 && session.flow().ReceivedBytes() < 128; ++i)
        session.Pump(1ms);
    platform.SetReadError(card.DeviceID(), c.error);
    session.Pump(50ms);
    skipped += DownloadFlow::kStallTime;
    for (int i = 0; i < 2000 && session.flow().TicksWanted(); ++i)
        session.Pump(1ms);
    ASSERT_TRUE(session.hasEnded());
    EXPECT_EQ(session.lastEnd().reason, c.reason);
    EXPECT_EQ(session.lastEnd().received, 64);
    EXPECT_EQ(session.lastEnd().readings.size(), 128u);
    EXPECT_EQ(session.flow().View().connection, "Connected");
    EXPECT_EQ(session.grid().rowCount(), 65);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].rfind(c.reason + ": 64 of 100 readings arrived.", 0), 0u) << problems[0];
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ReadErrors,
    ::testing::Values(
        ReadErrorCase{"Protocol", EPROTO, "The card stopped answering: Protocol error"},
        ReadErrorCase{"Overflow", EOVERFLOW,
                      "The card stopped answering: Value too large for defined data type"},
        ReadErrorCase{"GoneIo", EIO, "The card stopped sending"},
        ReadErrorCase{"GoneNoDevice", ENODEV, "The card stopped sending"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CardSession, ACardWhoseReadsFailBeforeItsHeaderIsReportedOnce) {
    SimHidPlatform platform;
    SimLoggerCard card(platform, CardOf(3));
    card.Plug();
    platform.SetReadError(card.DeviceID(), EACCES);
    const LocaleSettings locale = test::English();
    CardSession session(platform, locale);
    std::vector<std::string> problems;
    session.hooks.problem = [&](const std::string& message) { problems.push_back(message); };
    session.Connect();
    EXPECT_FALSE(session.WaitForHeader(300ms));
    EXPECT_EQ(problems,
              std::vector<std::string>{
                  "The card stopped answering: Permission denied. Plug the card in again."});
    EXPECT_FALSE(session.flow().AwaitingHeader());
}

}  // namespace
}  // namespace halvik
