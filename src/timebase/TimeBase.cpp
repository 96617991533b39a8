// SPDX-License-Identifier: GPL-3.0-or-later
#include "timebase/TimeBase.h"

#include <date/date.h>
#include <date/tz.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace halvik {

namespace {

using std::chrono::seconds;
using std::chrono::sys_seconds;

constexpr const char* kListNames =
    "The names are listed by 'timedatectl list-timezones' (for example Europe/Berlin, "
    "America/New_York, UTC).";

// A name as it may be quoted back to the user: control characters and anything beyond a
// sensible length would only garble the message.
std::string Printable(std::string_view name) {
    std::string text;
    for (const char c : name.substr(0, 80))
        text += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    if (name.size() > 80)
        text += "...";
    return text;
}

// The database, or the reason there is none. date/tz reads the system's zoneinfo folder on first
// use and throws when it is missing; a folder without zones is as good as none.
const date::tzdb* Database(std::string* problem) {
    try {
        const date::tzdb& db = date::get_tzdb();
        if (!db.zones.empty())
            return &db;
        if (problem)
            *problem = "/usr/share/zoneinfo holds no zones";
    } catch (const std::exception& e) {
        if (problem) {
            std::string reason = e.what();
            while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
                reason.pop_back();
            *problem = reason;
        }
    }
    return nullptr;
}

std::string NoDataMessage(const std::string& reason) {
    return "This computer has no time-zone data (" + reason +
           "), so times are shown in UTC, the card's clock. The tzdata package provides it.";
}

const date::time_zone* FindZone(std::string_view name) {
    std::string problem;
    const date::tzdb* db = Database(&problem);
    if (!db)
        throw TimeBaseError(NoDataMessage(problem));
    try {
        return date::locate_zone(name);
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

[[noreturn]] void ThrowUnknown(std::string_view name, const std::string& what) {
    std::string message = what + " is not a time zone name.";
    if (const date::tzdb* db = Database(nullptr)) {
        for (const date::time_zone& zone : db->zones) {
            if (SameIgnoringCase(zone.name(), name)) {
                message += " Did you mean " + zone.name() + "?";
                break;
            }
        }
    }
    throw TimeBaseError(message + " " + kListNames);
}

// The zone name in a path under a zoneinfo folder: /usr/share/zoneinfo/Europe/Berlin gives
// Europe/Berlin (also from the posix/ and right/ variants of the folder).
std::optional<std::string> ZoneNameOfPath(const std::string& path) {
    const std::size_t at = path.rfind("zoneinfo/");
    if (at == std::string::npos)
        return std::nullopt;
    std::string name = path.substr(at + 9);
    for (const char* variant : {"posix/", "right/"}) {
        if (name.starts_with(variant))
            name.erase(0, std::char_traits<char>::length(variant));
    }
    if (name.empty())
        return std::nullopt;
    return name;
}

std::optional<std::string> LocaltimeZoneName() {
    std::error_code error;
    const std::filesystem::path link = std::filesystem::read_symlink("/etc/localtime", error);
    if (!error) {
        if (auto name = ZoneNameOfPath(link.string()))
            return name;
        const auto target = std::filesystem::canonical("/etc/localtime", error);
        if (!error)
            return ZoneNameOfPath(target.string());
    }
    return std::nullopt;
}

std::optional<std::string> TimezoneFileName() {
    std::ifstream file("/etc/timezone");
    std::string line;
    if (!file || !std::getline(file, line) || line.size() > 200)
        return std::nullopt;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
        line.pop_back();
    if (line.empty())
        return std::nullopt;
    return line;
}

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

TimeBase TimeBase::Zone(std::string name, bool fromComputer) {
    TimeBase base;
    base.zone_ = std::move(name);
    base.fromComputer_ = fromComputer && !base.zone_.empty();
    return base;
}

std::string ZoneDataProblem() {
    std::string problem;
    if (Database(&problem))
        return {};
    return NoDataMessage(problem);
}

TimeBase ParseTimeBase(std::string_view name) {
    if (name == "local")
        return ComputerTimeBase();
    if (name.empty())
        throw TimeBaseError(std::string("An empty text is not a time zone name. ") + kListNames +
                            " 'local' is this computer's zone.");
    const date::time_zone* zone = FindZone(name);
    if (!zone)
        ThrowUnknown(name, "'" + Printable(name) + "'");
    // The name as given: a link such as US/Eastern stays what the user asked for.
    return TimeBase::Zone(std::string(name));
}

TimeBase ComputerTimeBase() {
    std::string source;
    std::optional<std::string> name;
    if (const char* tz = std::getenv("TZ")) {
        std::string value = tz;
        if (!value.empty() && value.front() == ':')
            value.erase(0, 1);
        source = "this computer's TZ setting '" + Printable(tz) + "'";
        if (value.empty())
            name = "UTC";  // what the C library takes an empty TZ for
        else if (value.front() == '/')
            name = ZoneNameOfPath(value);
        else
            name = value;
    } else if ((name = LocaltimeZoneName())) {
        source = "this computer's /etc/localtime ('" + Printable(*name) + "')";
    } else if ((name = TimezoneFileName())) {
        source = "this computer's /etc/timezone ('" + Printable(*name) + "')";
    } else {
        throw TimeBaseError(
            "This computer's zone cannot be found: TZ is not set, /etc/localtime is not a link "
            "into a zoneinfo folder and /etc/timezone names none. " +
            std::string(kListNames));
    }
    if (!name)
        ThrowUnknown("", source);
    if (!FindZone(*name))
        ThrowUnknown(*name, source);
    return TimeBase::Zone(*name, true);
}

struct TimeConverter::Zone {
    const date::time_zone* zone = nullptr;
    // The span of the zone's rules the last moment fell in.
    bool cached = false;
    sys_seconds begin{}, end{};
    int offset = 0;
    std::string abbreviation;
    // Moments in [begin, repeatedUntil) or [repeatedFrom, end) show a wall-clock time that
    // happens twice: the first right after the clocks went back, the second right before.
    sys_seconds repeatedUntil{}, repeatedFrom{};

    void Load(sys_seconds moment) {
        const date::sys_info info = zone->get_info(moment);
        begin = info.begin;
        end = info.end;
        offset = static_cast<int>(info.offset.count());
        abbreviation = info.abbrev;
        repeatedUntil = begin;
        repeatedFrom = end;
        // The database's first and last spans reach to the ends of its calendar; no readings
        // are there and nothing lies beyond them to compare with.
        const sys_seconds earliest = date::sys_days(date::year(1800) / 1 / 1);
        const sys_seconds latest = date::sys_days(date::year(2400) / 1 / 1);
        if (begin > earliest && begin < latest) {
            const date::sys_info before = zone->get_info(begin - seconds(1));
            if (before.offset > info.offset)
                repeatedUntil = begin + (before.offset - info.offset);
        }
        if (end > earliest && end < latest) {
            const date::sys_info after = zone->get_info(end);
            if (after.offset < info.offset)
                repeatedFrom = end - (info.offset - after.offset);
        }
        cached = true;
    }
};

TimeConverter::TimeConverter(const TimeBase& base) {
    if (base.IsCardClock())
        return;
    const date::time_zone* zone = FindZone(base.ZoneName());
    if (!zone)
        ThrowUnknown(base.ZoneName(), "'" + Printable(base.ZoneName()) + "'");
    zone_ = std::make_unique<Zone>();
    zone_->zone = zone;
}

TimeConverter::~TimeConverter() = default;
TimeConverter::TimeConverter(TimeConverter&&) noexcept = default;
TimeConverter& TimeConverter::operator=(TimeConverter&&) noexcept = default;

LocalTime TimeConverter::Convert(sys_seconds moment) {
    LocalTime local;
    if (zone_) {
        Zone& z = *zone_;
        if (!z.cached || moment < z.begin || moment >= z.end)
            z.Load(moment);
        local.offsetSeconds = z.offset;
        local.abbreviation = z.abbreviation;
        local.repeated = moment < z.repeatedUntil || moment >= z.repeatedFrom;
    }
    const auto wall = moment.time_since_epoch() + seconds(local.offsetSeconds);
    const auto day = date::floor<date::days>(wall);
    const date::year_month_day ymd{date::sys_days(day)};
    const auto inDay = (wall - day).count();
    local.year = static_cast<int>(ymd.year());
    local.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    local.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    local.hour = static_cast<int>(inDay / 3600);
    local.minute = static_cast<int>(inDay / 60 % 60);
    local.second = static_cast<int>(inDay % 60);
    return local;
}

std::string OffsetText(int offsetSeconds) {
    std::string text(1, offsetSeconds < 0 ? '-' : '+');
    const long magnitude = std::labs(static_cast<long>(offsetSeconds));
    AppendTwoDigits(text, static_cast<int>(magnitude / 3600));
    text += ':';
    AppendTwoDigits(text, static_cast<int>(magnitude / 60 % 60));
    if (magnitude % 60 != 0) {
        text += ':';
        AppendTwoDigits(text, static_cast<int>(magnitude % 60));
    }
    return text;
}

std::string IsoLocalText(const LocalTime& local) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d",
                  std::clamp(local.year, 0, 9999), local.month, local.day, local.hour, local.minute,
                  local.second);
    return text + OffsetText(local.offsetSeconds);
}

std::string IsoTimeText(const TimeBase& base, sys_seconds moment) {
    TimeConverter converter(base);
    const LocalTime local = converter.Convert(moment);
    if (base.IsCardClock()) {
        std::string text = IsoLocalText(local);
        text.resize(text.size() - 6);
        return text + "Z";
    }
    return IsoLocalText(local);
}

std::string ZoneAbbreviations(const TimeBase& base, sys_seconds around) {
    if (base.IsCardClock())
        return "UTC";
    const date::time_zone* zone = FindZone(base.ZoneName());
    if (!zone)
        ThrowUnknown(base.ZoneName(), "'" + Printable(base.ZoneName()) + "'");
    const date::year year = date::year_month_day(date::floor<date::days>(around)).year();
    const sys_seconds first = date::sys_days(year / 1 / 1);
    const sys_seconds last = date::sys_days((year + date::years(1)) / 1 / 1);
    std::vector<std::string> standard, daylight;
    sys_seconds at = first;
    // A year has two changes in most zones; a bound keeps a strange database from looping.
    for (int span = 0; span < 16 && at < last; ++span) {
        const date::sys_info info = zone->get_info(at);
        std::vector<std::string>& list = info.save == std::chrono::minutes(0) ? standard : daylight;
        if (std::find(standard.begin(), standard.end(), info.abbrev) == standard.end() &&
            std::find(daylight.begin(), daylight.end(), info.abbrev) == daylight.end())
            list.push_back(info.abbrev);
        if (info.end <= at)
            break;
        at = info.end;
    }
    std::string text;
    for (const std::vector<std::string>* list : {&standard, &daylight}) {
        for (const std::string& abbreviation : *list) {
            if (!text.empty())
                text += '/';
            text += abbreviation;
        }
    }
    return text;
}

std::string TimeBaseName(const TimeBase& base, sys_seconds around) {
    if (base.IsCardClock())
        return "UTC (card clock)";
    const std::string abbreviations = ZoneAbbreviations(base, around);
    if (abbreviations == base.ZoneName())
        return base.ZoneName();
    return base.ZoneName() + " (" + abbreviations + ")";
}

std::string TimeBaseCaption(const TimeBase& base, sys_seconds around) {
    if (base.IsCardClock())
        return std::string(kCardClockCaption);
    return " ALL TIMES SHOWN ARE " + TimeBaseName(base, around) + ", 24 HOUR CLOCK";
}

}  // namespace halvik
