// SPDX-License-Identifier: GPL-3.0-or-later
// The download flow over the device link without a window: the in-memory platform, the card
// model at each pace, the real report reader thread and its hand-over.

#include <gtest/gtest.h>

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
}

}  // namespace
}  // namespace halvik
