// SPDX-License-Identifier: GPL-3.0-or-later
// A thousand downloads through the in-memory platform, the card link as the window has it, the
// report reader and the download flow, with a fault drawn at random for each: the card unplugged
// mid-download, a card that stops, short reports, extra reports, a second card plugged or another
// device coming and going during the download, DOWNLOAD pressed again. After each: every reading
// that arrived is shown and kept, nothing else is; at the end, no file descriptor and no memory
// was lost on the way.

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <string>

#include "TestLocales.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"
#include "download/CardSession.h"
#include "logger/Conversions.h"

namespace halvik {
namespace {

using namespace std::chrono_literals;

std::size_t OpenFileDescriptors() {
    std::size_t count = 0;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (readdir(folder) != nullptr)
            ++count;
        closedir(folder);
    }
    return count;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

enum class Fault {
    None,
    Unplug,
    Stall,
    ShortReports,
    ExtraReports,
    SecondCard,
    OtherDevice,
    PressedAgain
};
constexpr int kFaults = 8;

const char* Name(Fault fault) {
    static const char* names[] = {"none",          "unplug",      "stall",        "short reports",
                                  "extra reports", "second card", "other device", "pressed again"};
    return names[static_cast<int>(fault)];
}

// One download with `fault`; returns a description of what went wrong, or nothing.
std::string DownloadWithFault(std::mt19937& random, Fault fault, const LocaleSettings& locale) {
    const int count = std::uniform_int_distribution<int>(1, 700)(random);
    std::vector<CardReading> readings;
    for (int i = 0; i < count; ++i)
        readings.push_back(
            EncodeReading(std::uniform_int_distribution<int>(-400, 800)(random) / 16.0));
    const LoggerCardImage image =
        LoggerCardImage::Make({1, 2, 3, 4, 5}, {2024, 2, 27, 22, 0, 0}, readings);
    const int reports = (2 * count + 63) / 64;

    SimHidPlatform platform;
    SimLoggerCard card(platform, image, SimLoggerCard::Pace::Manual);
    card.Plug();
    std::chrono::steady_clock::duration skipped{};  // the test's clock runs ahead of the real one
    // The card is taken as the window takes it: the first one, as it comes.
    CardSession session(
        platform, locale, [&skipped] { return std::chrono::steady_clock::now() + skipped; },
        CardLink::Choice::FirstCard);
    if (card.Send(1) != 1 || !session.WaitForHeader(5s))
        return "no header";
    if (!session.StartDownload(TemperatureUnit::Celsius))
        return "DOWNLOAD did nothing";
    auto sendAndPump = [&](std::size_t n) {
        std::size_t sent = 0;
        while (sent < n) {
            const std::size_t now = card.Send(n - sent);
            sent += now;
            session.Pump(1ms);
            if (now == 0 && card.Outbox() == 0)
                break;
        }
    };
    std::vector<std::uint8_t> fed;  // every reading byte the card sent, in order
    const int cut = std::uniform_int_distribution<int>(0, reports - 1)(random);
    std::unique_ptr<SimLoggerCard> second;
    const std::vector<std::vector<std::uint8_t>> answer = card.Model().ReadingReports();
    // Pumps until everything fed has reached the flow (or the download ended).
    auto settle = [&] {
        for (int i = 0; i < 5000 && session.flow().TicksWanted() &&
                        session.flow().ReceivedBytes() < fed.size();
             ++i)
            session.Pump(1ms);
    };
    auto feedAnswer = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            fed.insert(fed.end(), answer[static_cast<std::size_t>(i)].begin(),
                       answer[static_cast<std::size_t>(i)].end());
        sendAndPump(static_cast<std::size_t>(to - from));
        settle();
    };
    switch (fault) {
        case Fault::None:
            feedAnswer(0, reports);
            break;
        case Fault::Unplug:
            feedAnswer(0, cut);
            card.Unplug();
            break;
        case Fault::Stall:
            feedAnswer(0, cut);
            skipped += DownloadFlow::kStallTime;
            session.flow().Tick();
            break;
        case Fault::ShortReports: {
            // The card's bytes in reports of odd lengths: the same stream, other cuts.
            std::vector<std::uint8_t> stream = image.Stream();
            std::size_t at = 0;
            while (at < stream.size()) {
                const std::size_t n = std::min<std::size_t>(
                    std::uniform_int_distribution<int>(1, 63)(random), stream.size() - at);
                std::vector<std::uint8_t> piece(
                    stream.begin() + static_cast<std::ptrdiff_t>(at),
                    stream.begin() + static_cast<std::ptrdiff_t>(at + n));
                if (!platform.FeedInputIfRoom(card.DeviceID(), piece))
                    session.Pump(1ms);
                else {
                    fed.insert(fed.end(), piece.begin(), piece.end());
                    at += n;
                }
                session.Pump(0ms);
            }
            settle();
            break;
        }
        case Fault::ExtraReports:
            feedAnswer(0, reports);
            for (int i = 0; i < 3; ++i)
                platform.FeedInput(card.DeviceID(), std::vector<std::uint8_t>(64, 0x85));
            session.Pump(2ms);
            break;
        case Fault::SecondCard:
            feedAnswer(0, cut);
            second = std::make_unique<SimLoggerCard>(platform, image);
            second->Plug();
            session.Pump(2ms);
            feedAnswer(cut, reports);
            break;
        case Fault::OtherDevice: {
            // Another product comes and goes: the card stays, and so does its download.
            feedAnswer(0, cut);
            SimHidPlatform::DeviceSpec mouse;
            mouse.VendorID = 0x046d;
            mouse.ProductID = 0xc077;
            const uint32_t mouseId = platform.Plug(mouse);
            session.Pump(2ms);
            platform.Unplug(mouseId);
            session.Pump(2ms);
            feedAnswer(cut, reports);
            break;
        }
        case Fault::PressedAgain:
            feedAnswer(0, cut);
            session.StartDownload(TemperatureUnit::Celsius);
            feedAnswer(cut, reports);
            break;
    }
    for (int i = 0; i < 2000 && session.flow().TicksWanted(); ++i)
        session.Pump(1ms);
    if (session.flow().TicksWanted())
        return "the download did not end";

    // What arrived: the reading bytes fed until the readings were complete.
    const std::size_t needed = 2 * static_cast<std::size_t>(count);
    const bool complete = fed.size() >= needed;
    const int arrived = complete ? count : static_cast<int>(fed.size() / 2);
    const DownloadEnd& end = session.lastEnd();
    if (!session.hasEnded())
        return "no end was handed over";
    if (end.complete != complete)
        return "complete " + std::to_string(end.complete) + ", expected " +
               std::to_string(complete);
    if (end.received != arrived)
        return "kept " + std::to_string(end.received) + " readings, " + std::to_string(arrived) +
               " arrived";
    if (end.readings.size() > fed.size() ||
        !std::equal(end.readings.begin(), end.readings.end(), fed.begin()) ||
        (!complete && end.readings.size() != fed.size()))
        return "the kept bytes are not the bytes that arrived";
    if (session.grid().rowCount() != arrived + 1)
        return "shown rows " + std::to_string(session.grid().rowCount() - 1) + ", arrived " +
               std::to_string(arrived);
    for (int q = 1; q <= arrived; ++q) {
        const CardReading r = readings[static_cast<std::size_t>(q - 1)];
        const std::string expected =
            "            " + TemperatureText(DecodeReading(r[0], r[1]), locale);
        if (session.grid().cell(3, q) != expected)
            return "reading " + std::to_string(q) + " shown as '" + session.grid().cell(3, q) +
                   "', not '" + expected + "'";
    }
    session.Disconnect();
    return {};
}

TEST(Soak, AThousandDownloadsWithFaultsLoseNothingAndLeakNothing) {
    const LocaleSettings locale = test::English();
    std::mt19937 random(20261210);
    // A few first, so that what is loaded once (locale data, thread stacks) is in the baseline.
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(DownloadWithFault(random, static_cast<Fault>(i % kFaults), locale), "");
    const std::size_t fdsBefore = OpenFileDescriptors();
    const long residentBefore = ResidentKiB();
    int byFault[kFaults] = {};
    for (int i = 0; i < 1000; ++i) {
        const auto fault =
            static_cast<Fault>(std::uniform_int_distribution<int>(0, kFaults - 1)(random));
        ++byFault[static_cast<int>(fault)];
        const std::string problem = DownloadWithFault(random, fault, locale);
        ASSERT_EQ(problem, "") << "download " << i << ", fault: " << Name(fault);
    }
    for (int f = 0; f < kFaults; ++f)
        EXPECT_GT(byFault[f], 0) << Name(static_cast<Fault>(f));
    EXPECT_LE(OpenFileDescriptors(), fdsBefore);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer keeps freed memory in quarantine and shadow memory beside it, so the resident
    // size says nothing here; LeakSanitizer checks for lost memory at the end of the process.
    (void)residentBefore;
#else
    // A fixed allowance for the allocator's own caches, whatever the number of downloads.
    EXPECT_LE(ResidentKiB() - residentBefore, 8 * 1024);
#endif
}

}  // namespace
}  // namespace halvik
