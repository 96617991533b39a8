// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace halvik {

// The card's clock is UTC, and every record keeps UTC. A time base is the clock a person reads
// the times in: the card's own (UTC, the default) or a zone of the system's time-zone database,
// with its daylight-saving changes. It changes what is shown and exported, never what is kept.
class TimeBase {
  public:
    // UTC, the card's clock: every text exactly as without a time base.
    TimeBase() = default;

    // A zone of the database by its exact name ("Europe/Berlin", "UTC"). `fromComputer`: it was
    // chosen as "this computer's zone". Use ParseTimeBase or ComputerTimeBase to check a name.
    static TimeBase Zone(std::string name, bool fromComputer = false);

    bool IsCardClock() const { return zone_.empty(); }
    // The zone's name; empty for the card's clock.
    const std::string& ZoneName() const { return zone_; }
    bool FromComputer() const { return fromComputer_; }

    bool operator==(const TimeBase&) const = default;

  private:
    std::string zone_;
    bool fromComputer_ = false;
};

// A zone that cannot be used: unknown, or no time-zone data on this computer. what() is a
// sentence for the user.
class TimeBaseError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// How a user names a time base (a command-line option, HALVIK_TZ, a saved setting): "local" is
// this computer's zone (ComputerTimeBase), anything else a zone of the database by its exact
// name. Throws TimeBaseError for an empty or unknown name (the message says to look the names
// up with `timedatectl list-timezones`, and suggests the right spelling of a name in the wrong
// case) and when the computer has no time-zone data (the message says why UTC is left).
TimeBase ParseTimeBase(std::string_view name);

// This computer's zone: the TZ variable when it is set (a zone name, ":Name" or a path under a
// zoneinfo folder; set but empty means UTC), else the zone /etc/localtime links to, else
// /etc/timezone. Throws TimeBaseError when none of them names a zone of the database, or there
// is no database.
TimeBase ComputerTimeBase();

// Empty when the zone database can be read; otherwise why not, as a sentence for the user that
// says times stay in UTC.
std::string ZoneDataProblem();

// A moment as the clocks of a time base show it.
struct LocalTime {
    int year = 1970, month = 1, day = 1;  // proleptic Gregorian calendar
    int hour = 0, minute = 0, second = 0;
    int offsetSeconds = 0;             // local time minus UTC: 7200 for CEST, -12600 for NDT
    std::string abbreviation = "UTC";  // the zone's own: "CEST", "IST", "+0545"
    // This wall-clock time happens twice: it lies in the hour repeated when the clocks go back.
    // Only the abbreviation or the offset tells the two apart.
    bool repeated = false;
};

// Converts moments to the local time of one time base. Remembers the span of the zone's rules
// the last moment fell in, so converting a download's readings one after another asks the
// database once per daylight-saving change.
class TimeConverter {
  public:
    // Throws TimeBaseError when the zone is not (or no longer) in the database.
    explicit TimeConverter(const TimeBase& base);
    ~TimeConverter();
    TimeConverter(TimeConverter&&) noexcept;
    TimeConverter& operator=(TimeConverter&&) noexcept;

    LocalTime Convert(std::chrono::sys_seconds moment);

  private:
    struct Zone;
    std::unique_ptr<Zone> zone_;  // null for the card's clock
};

// "+02:00", "-03:30", "+05:45", "+00:00"; seconds are added only when the offset has them
// ("+00:53:28", old local mean times).
std::string OffsetText(int offsetSeconds);

// ISO 8601 with the offset: "2026-03-29T03:06:00+02:00".
std::string IsoLocalText(const LocalTime& local);

// A moment in ISO 8601 for `base`: "2026-01-12T08:00:00Z" for the card's clock (as the records
// write UTC), with the zone's offset otherwise. Throws TimeBaseError as TimeConverter does.
std::string IsoTimeText(const TimeBase& base, std::chrono::sys_seconds moment);

// The zone's abbreviations in use in the year of `around`, standard time first:
// "CET/CEST", "EST/EDT", "IST", "+0545". "UTC" for the card's clock.
std::string ZoneAbbreviations(const TimeBase& base, std::chrono::sys_seconds around);

// What a time base is called where it is stated: "UTC (card clock)", "Europe/Berlin (CET/CEST)".
std::string TimeBaseName(const TimeBase& base, std::chrono::sys_seconds around);

// The line above the readings table: the card's clock keeps the window's own words; a zone is
// named, " ALL TIMES SHOWN ARE Europe/Berlin (CET/CEST), 24 HOUR CLOCK".
std::string TimeBaseCaption(const TimeBase& base, std::chrono::sys_seconds around);
inline constexpr std::string_view kCardClockCaption =
    " ALL TIMES  SHOWN ARE BASED ON GMT AND 24 HOUR CLOCK";

}  // namespace halvik
