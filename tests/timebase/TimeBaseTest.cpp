// SPDX-License-Identifier: GPL-3.0-or-later
#include "timebase/TimeBase.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace halvik {
namespace {

using std::chrono::seconds;
using std::chrono::sys_seconds;

sys_seconds At(long long epoch) {
    return sys_seconds(seconds(epoch));
}

// Restores TZ when a test is done with it.
class ScopedTz {
  public:
    explicit ScopedTz(const char* value) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        if (value)
            ::setenv("TZ", value, 1);
        else
            ::unsetenv("TZ");
    }
    ~ScopedTz() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
    }

  private:
    std::optional<std::string> old_;
};

// What the C library's own reading of the zone file says, from `date` run as a process.
std::string SystemDate(const char* zone, long long epoch) {
    const std::string command = std::string("TZ=") + zone + " date -d @" + std::to_string(epoch) +
                                " '+%Y-%m-%dT%H:%M:%S%:z %Z'";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 128> buffer{};
        while (std::fgets(buffer.data(), buffer.size(), pipe))
            out += buffer.data();
        ::pclose(pipe);
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

struct ConversionCase {
    const char* zone;
    long long epoch;
    const char* iso;  // local time with its offset
    const char* abbreviation;
    bool repeated;
};

// Each reading six minutes apart in real time; the local clock jumps or repeats around them.
constexpr ConversionCase kConversions[] = {
    // Berlin, spring forward (02:00 CET -> 03:00 CEST): 01:54 is followed by 03:00.
    {"Europe/Berlin", 1774745640, "2026-03-29T01:54:00+01:00", "CET", false},
    {"Europe/Berlin", 1774746000, "2026-03-29T03:00:00+02:00", "CEST", false},
    // Berlin, fall back (03:00 CEST -> 02:00 CET): 02:00..02:59 happens twice.
    {"Europe/Berlin", 1792886040, "2026-10-25T01:54:00+02:00", "CEST", false},
    {"Europe/Berlin", 1792886400, "2026-10-25T02:00:00+02:00", "CEST", true},
    {"Europe/Berlin", 1792888200, "2026-10-25T02:30:00+02:00", "CEST", true},
    {"Europe/Berlin", 1792889640, "2026-10-25T02:54:00+02:00", "CEST", true},
    {"Europe/Berlin", 1792890000, "2026-10-25T02:00:00+01:00", "CET", true},
    {"Europe/Berlin", 1792891800, "2026-10-25T02:30:00+01:00", "CET", true},
    {"Europe/Berlin", 1792893240, "2026-10-25T02:54:00+01:00", "CET", true},
    {"Europe/Berlin", 1792893600, "2026-10-25T03:00:00+01:00", "CET", false},
    // New York, both changes.
    {"America/New_York", 1772952840, "2026-03-08T01:54:00-05:00", "EST", false},
    {"America/New_York", 1772953200, "2026-03-08T03:00:00-04:00", "EDT", false},
    {"America/New_York", 1793511000, "2026-11-01T01:30:00-04:00", "EDT", true},
    {"America/New_York", 1793514600, "2026-11-01T01:30:00-05:00", "EST", true},
    {"America/New_York", 1793516400, "2026-11-01T02:00:00-05:00", "EST", false},
    // Half-hour and 45-minute offsets, across midnight and New Year.
    {"Asia/Kolkata", 1781548560, "2026-06-16T00:06:00+05:30", "IST", false},
    {"Asia/Kathmandu", 1798740900, "2027-01-01T00:00:00+05:45", "+0545", false},
    // Lord Howe's half-hour daylight saving: 02:00 +11 -> 01:30 +1030 repeats 01:30..01:59.
    {"Australia/Lord_Howe", 1775314440, "2026-04-05T01:54:00+11:00", "+11", true},
    {"Australia/Lord_Howe", 1775314800, "2026-04-05T01:30:00+10:30", "+1030", true},
    {"Australia/Lord_Howe", 1775316240, "2026-04-05T01:54:00+10:30", "+1030", true},
    {"Australia/Lord_Howe", 1775316600, "2026-04-05T02:00:00+10:30", "+1030", false},
    {"Australia/Lord_Howe", 1791041400, "2026-10-04T02:30:00+11:00", "+11", false},
    // Negative offsets going back across midnight and New Year.
    {"America/Los_Angeles", 1798772400, "2026-12-31T19:00:00-08:00", "PST", false},
    {"America/St_Johns", 1767232800, "2025-12-31T22:30:00-03:30", "NST", false},
    // 29 February, reached from either side.
    {"Asia/Tokyo", 1835481240, "2028-03-01T08:54:00+09:00", "JST", false},
    {"America/New_York", 1835496000, "2028-02-29T23:00:00-05:00", "EST", false},
};

TEST(TimeConverter, ZonesAcrossDaylightSavingAndOddOffsets) {
    for (const ConversionCase& c : kConversions) {
        SCOPED_TRACE(std::string(c.zone) + " @" + std::to_string(c.epoch));
        TimeConverter converter(ParseTimeBase(c.zone));
        const LocalTime local = converter.Convert(At(c.epoch));
        EXPECT_EQ(IsoLocalText(local), c.iso);
        EXPECT_EQ(local.abbreviation, c.abbreviation);
        EXPECT_EQ(local.repeated, c.repeated);
        EXPECT_EQ(IsoTimeText(TimeBase::Zone(c.zone), At(c.epoch)), c.iso);
    }
}

// The table above is checked against the C library's own reading of the same zone files.
TEST(TimeConverter, AgreesWithTheSystemDateCommand) {
    for (const ConversionCase& c : kConversions) {
        SCOPED_TRACE(c.zone);
        EXPECT_EQ(SystemDate(c.zone, c.epoch), std::string(c.iso) + " " + c.abbreviation);
    }
}

// One converter walks a day of readings across a change, in and out of its remembered span,
// and backwards: every answer equals a fresh converter's.
TEST(TimeConverter, RememberedSpanGivesTheSameAnswers) {
    TimeConverter walking(TimeBase::Zone("Europe/Berlin"));
    const long long start = 1792886400 - 12 * 3600;
    for (long long t : {start, start + 86400, start}) {
        for (long long step = 0; step < 240; ++step) {
            const sys_seconds moment = At(t + step * 360);
            const LocalTime a = walking.Convert(moment);
            const LocalTime b = TimeConverter(TimeBase::Zone("Europe/Berlin")).Convert(moment);
            ASSERT_EQ(IsoLocalText(a), IsoLocalText(b));
            ASSERT_EQ(a.repeated, b.repeated);
            ASSERT_EQ(a.abbreviation, b.abbreviation);
        }
    }
}

TEST(TimeConverter, CardClockIsUtc) {
    TimeConverter converter{TimeBase()};
    const LocalTime local = converter.Convert(At(1792888200));
    EXPECT_EQ(IsoLocalText(local), "2026-10-25T00:30:00+00:00");
    EXPECT_EQ(local.abbreviation, "UTC");
    EXPECT_FALSE(local.repeated);
    EXPECT_EQ(IsoTimeText(TimeBase(), At(1792888200)), "2026-10-25T00:30:00Z");
}

TEST(OffsetText, SignsMinutesAndSeconds) {
    const std::pair<int, const char*> cases[] = {
        {0, "+00:00"},      {7200, "+02:00"},    {-12600, "-03:30"},        {20700, "+05:45"},
        {-36000, "-10:00"}, {3208, "+00:53:28"}, {-3600 - 61, "-01:01:01"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(OffsetText(seconds), text);
}

TEST(ParseTimeBase, NamesAndLinks) {
    EXPECT_EQ(ParseTimeBase("Europe/Berlin"), TimeBase::Zone("Europe/Berlin"));
    EXPECT_EQ(ParseTimeBase("UTC").ZoneName(), "UTC");
    EXPECT_EQ(ParseTimeBase("US/Eastern").ZoneName(), "US/Eastern");
    EXPECT_FALSE(ParseTimeBase("UTC").IsCardClock());
}

TEST(ParseTimeBase, UnknownNamesSayWhereTheNamesAre) {
    struct Case {
        std::string name;
        const char* mentions;
    };
    const Case cases[] = {
        {"Europe/Berln", "'Europe/Berln' is not a time zone name"},
        {"europe/berlin", "Did you mean Europe/Berlin?"},
        {"", "empty"},
        {"../../../etc/passwd", "is not a time zone name"},
        {"/usr/share/zoneinfo/Europe/Berlin", "is not a time zone name"},
        {std::string("Europe/Ber\nlin\0x", 16), "'Europe/Ber?lin?x'"},
        {std::string(300, 'A'), "...'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ParseTimeBase(c.name);
            ADD_FAILURE() << "accepted";
        } catch (const TimeBaseError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.mentions), std::string::npos) << message;
            EXPECT_NE(message.find("timedatectl list-timezones"), std::string::npos) << message;
        }
    }
}

TEST(ComputerTimeBase, FollowsTz) {
    struct Case {
        const char* tz;
        const char* zone;  // nullptr: refused
    };
    const Case cases[] = {
        {"Asia/Kolkata", "Asia/Kolkata"},
        {":America/New_York", "America/New_York"},
        {"/usr/share/zoneinfo/Europe/Berlin", "Europe/Berlin"},
        {":/usr/share/zoneinfo/posix/Asia/Tokyo", "Asia/Tokyo"},
        {"", "UTC"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", nullptr},
        {"Mars/Olympus_Mons", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        ScopedTz tz(c.tz);
        if (c.zone) {
            const TimeBase base = ComputerTimeBase();
            EXPECT_EQ(base.ZoneName(), c.zone);
            EXPECT_TRUE(base.FromComputer());
            EXPECT_EQ(ParseTimeBase("local"), base);
        } else {
            try {
                ComputerTimeBase();
                ADD_FAILURE() << "accepted";
            } catch (const TimeBaseError& e) {
                EXPECT_NE(std::string(e.what()).find("TZ setting"), std::string::npos) << e.what();
            }
        }
    }
}

TEST(TimeBaseCaption, CardClockKeepsTheWindowsWordsAZoneIsNamed) {
    const sys_seconds summer = At(1781548560);
    EXPECT_EQ(TimeBaseCaption(TimeBase(), summer),
              " ALL TIMES  SHOWN ARE BASED ON GMT AND 24 HOUR CLOCK");
    const std::pair<const char*, const char*> cases[] = {
        {"Europe/Berlin", " ALL TIMES SHOWN ARE Europe/Berlin (CET/CEST), 24 HOUR CLOCK"},
        {"Australia/Sydney", " ALL TIMES SHOWN ARE Australia/Sydney (AEST/AEDT), 24 HOUR CLOCK"},
        {"Asia/Kathmandu", " ALL TIMES SHOWN ARE Asia/Kathmandu (+0545), 24 HOUR CLOCK"},
        {"UTC", " ALL TIMES SHOWN ARE UTC, 24 HOUR CLOCK"},
    };
    for (const auto& [zone, caption] : cases)
        EXPECT_EQ(TimeBaseCaption(TimeBase::Zone(zone), summer), caption);
    EXPECT_EQ(TimeBaseName(TimeBase(), summer), "UTC (card clock)");
}

// Without the zone database (a private mount namespace hides it) the card's clock still works
// and every zone is refused with the reason. Runs this test binary again inside the namespace.
TEST(ZoneData, MissingDatabaseLeavesUtc) {
    if (std::getenv("HALVIK_TEST_NO_TZDATA")) {
        const std::string problem = ZoneDataProblem();
        EXPECT_NE(problem.find("no time-zone data"), std::string::npos) << problem;
        EXPECT_NE(problem.find("UTC"), std::string::npos) << problem;
        EXPECT_THROW(ParseTimeBase("Europe/Berlin"), TimeBaseError);
        EXPECT_EQ(IsoTimeText(TimeBase(), At(1792888200)), "2026-10-25T00:30:00Z");
        return;
    }
    EXPECT_EQ(ZoneDataProblem(), "");
    if (::geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "needs root and unshare to hide the zone database";
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    self[length] = '\0';
    const std::string command =
        "unshare -m sh -c 'mount --make-rprivate / && mount -t tmpfs none /usr/share/zoneinfo && "
        "HALVIK_TEST_NO_TZDATA=1 exec \"$0\" --gtest_filter=ZoneData.MissingDatabaseLeavesUtc' " +
        std::string(self) + " >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace halvik
