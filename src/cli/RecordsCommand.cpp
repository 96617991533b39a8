// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RecordsCommand.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/NameJson.h"
#include "cli/Output.h"
#include "library/RecordsIndex.h"
#include "records/RecordStore.h"
#include "review/Profiles.h"

namespace halvik::cli {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// "YYYY-MM-DD" (the whole day: its first second for --since, its last for --until) or
// "YYYY-MM-DDTHH:MM[:SS]Z", in UTC.
std::int64_t ParseDate(const std::string& text, const char* option, bool endOfDay) {
    auto refuse = [&] {
        return UsageError(std::string(option) + ": '" + text +
                          "' is not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MMZ, in UTC)");
    };
    auto digits = [&](std::size_t at, std::size_t count) {
        if (at + count > text.size())
            throw refuse();
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                throw refuse();
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    auto expect = [&](std::size_t at, char c) {
        if (at >= text.size() || text[at] != c)
            throw refuse();
    };
    const int y = digits(0, 4);
    expect(4, '-');
    const int m = digits(5, 2);
    expect(7, '-');
    const int d = digits(8, 2);
    const year_month_day date{year(y), month(static_cast<unsigned>(m)),
                              day(static_cast<unsigned>(d))};
    if (!date.ok())
        throw refuse();
    seconds timeOfDay{endOfDay ? 86399 : 0};
    if (text.size() != 10) {
        expect(10, 'T');
        const int hour = digits(11, 2);
        expect(13, ':');
        const int minute = digits(14, 2);
        int second = 0;
        std::size_t end = 16;
        if (text.size() == 20) {
            expect(16, ':');
            second = digits(17, 2);
            end = 19;
        }
        expect(end, 'Z');
        if (text.size() != end + 1 || hour > 23 || minute > 59 || second > 59)
            throw refuse();
        timeOfDay = hours(hour) + minutes(minute) + seconds(second);
    }
    return (sys_seconds(sys_days(date)) + timeOfDay).time_since_epoch().count();
}

std::string TimeText(const std::optional<std::int64_t>& time) {
    if (!time)
        return "unknown";
    return UtcTimeText(sys_seconds{seconds{*time}});
}

// A reading's time in the time base of the call: UTC as the records keep it ("...Z"), or the
// zone's time with its offset.
std::string ShownTimeText(const TimeBase& base, const std::optional<std::int64_t>& time) {
    if (!time)
        return "unknown";
    return IsoTimeText(base, sys_seconds{seconds{*time}});
}

nlohmann::ordered_json TimeJson(const TimeBase& base, const std::optional<std::int64_t>& time) {
    if (!time)
        return nullptr;
    return ShownTimeText(base, time);
}

nlohmann::ordered_json NumberJson(const std::optional<double>& value) {
    if (!value)
        return nullptr;
    return *value;
}

nlohmann::ordered_json TextJson(const std::optional<std::string>& text) {
    if (!text)
        return nullptr;
    return *text;
}

nlohmann::ordered_json RecordJson(const fs::path& folder, const RecordFacts& r,
                                  const TimeBase& base) {
    nlohmann::ordered_json object;
    PutFileName(object, "file", (folder / r.name).string());
    PutFileName(object, "name", r.name);
    if (!r.problem.empty()) {
        object["error"] = r.problem;
        return object;
    }
    object["pid"] = r.pid;
    object["first_reading"] = TimeJson(base, r.firstReading);
    object["last_reading"] = TimeJson(base, r.lastReading);
    object["announced"] = r.announced;
    object["count"] = r.count;
    object["complete"] = r.complete;
    object["intact"] = r.intact;
    object["downloaded_utc"] = TimeText(r.downloadedAt);
    object["host"] = r.host;
    object["unit"] = r.unit == TemperatureUnit::Fahrenheit ? "F" : "C";
    object["maximum"] = NumberJson(r.maximum);
    object["minimum"] = NumberJson(r.minimum);
    object["mkt"] = NumberJson(r.mkt);
    object["verdict"] = TextJson(r.verdict);
    object["profile"] = TextJson(r.profile);
    return object;
}

std::string Statistic(const std::optional<double>& value, TemperatureUnit unit) {
    if (!value)
        return "n/a";
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", *value, UnitText(unit));
    return text;
}

// "2026-01-12 08:00" of "2026-01-12T08:00:00Z" (or of "2026-01-12T09:00:00+01:00").
std::string ShortTime(const TimeBase& base, const std::optional<std::int64_t>& time) {
    if (!time)
        return "unknown";
    const std::string iso = ShownTimeText(base, time);
    return iso.substr(0, 10) + " " + iso.substr(11, 5);
}

// The columns of a listing; the degree sign takes two bytes and one column.
std::string Columns(const std::string& first, const std::string& last, const std::string& pid,
                    const std::string& count, const std::string& maximum,
                    const std::string& minimum, const std::string& mkt,
                    const std::string& verdict) {
    auto wide = [](const std::string& text) { return text.find("°") != std::string::npos; };
    char line[512];
    std::snprintf(line, sizeof line, "%-16s  %-16s  %-15s  %8s  %*s  %*s  %*s  %-7s  ",
                  first.c_str(), last.c_str(), pid.c_str(), count.c_str(), wide(maximum) ? 11 : 10,
                  maximum.c_str(), wide(minimum) ? 11 : 10, minimum.c_str(), wide(mkt) ? 11 : 10,
                  mkt.c_str(), verdict.c_str());
    return line;
}

std::string RecordLine(const fs::path& folder, const RecordFacts& r, const TimeBase& base) {
    if (!r.problem.empty())
        return r.problem + "\n";  // names the file
    std::string text =
        Columns(ShortTime(base, r.firstReading), ShortTime(base, r.lastReading), r.pid,
                std::to_string(r.count), Statistic(r.maximum, r.unit), Statistic(r.minimum, r.unit),
                Statistic(r.mkt, r.unit), r.verdict ? *r.verdict : "-") +
        (folder / r.name).string();
    if (!r.complete)
        text += "  (incomplete: " + std::to_string(r.count) + " of " + std::to_string(r.announced) +
                " readings)";
    if (!r.intact)
        text += "  (changed after download)";
    return text + "\n";
}

void SayRebuilt(const RecordsIndex& index, const IndexUpdate& update) {
    if (!index.InMemoryReason().empty())
        Problem(index.InMemoryReason());
    if (!update.rebuilt.empty() && update.rebuilt != "as asked")
        Problem("the records index was built again: " + update.rebuilt + ".");
}

int Verify(RecordsIndex& index) {
    // Every file read again, its digest computed afresh: not the index's memory of it.
    SayRebuilt(index, index.Reindex());
    int checked = 0, changed = 0, unreadable = 0;
    std::string text;
    for (const RecordFacts& r : index.List()) {
        ++checked;
        if (!r.problem.empty()) {
            ++unreadable;
            text += r.problem + "\n";
        } else if (!r.intact) {
            ++changed;
            text += (index.Folder() / r.name).string() + ": changed after download\n";
        }
    }
    text += std::to_string(checked) + (checked == 1 ? " record" : " records") + " checked in " +
            index.Folder().string() + ": ";
    if (changed == 0 && unreadable == 0)
        text += "all intact\n";
    else
        text += std::to_string(changed) + " changed after download, " + std::to_string(unreadable) +
                " cannot be read\n";
    WriteStdout(text);
    return changed + unreadable > 0 ? 1 : 0;
}

}  // namespace

CLI::App* AddRecordsCommand(CLI::App& app, RecordsOptions& o) {
    CLI::App* records = app.add_subcommand(
        "records",
        "The kept records, newest reading first, through an index of the records folder (kept "
        "in $XDG_CACHE_HOME/halvik); records that cannot be read are listed with the reason");
    std::vector<CLI::Option*> filters = {
        records->add_option("--pid", o.pid, "Only this card's records")->type_name("PID"),
        records
            ->add_option("--since", o.since,
                         "Only records with a reading at or after DATE (UTC; a day means its "
                         "first minute)")
            ->type_name("DATE"),
        records
            ->add_option("--until", o.until,
                         "Only records with a reading at or before DATE (UTC; a day means its "
                         "last minute)")
            ->type_name("DATE"),
        records->add_flag("--alarm", o.alarm,
                          "Only records whose review under their card's profile gave ALARM"),
        records->add_flag("--ok", o.ok, "Only records whose review gave OK"),
        records->add_flag("--incomplete", o.incomplete, "Only downloads that stopped early"),
        records->add_flag("--changed", o.changed, "Only records changed after their download"),
        records->add_flag("--json", o.json, "One JSON array on standard output"),
    };
    filters[3]->excludes(filters[4]);
    CLI::Option* verify = records->add_flag(
        "--verify", o.verify,
        "Read every record again and check its digest; exit status 1 when any was changed after "
        "its download or cannot be read, naming them");
    CLI::Option* reindex = records->add_flag(
        "--reindex", o.reindex, "Build the index of the records folder again from its files");
    AddTimeBaseOption(*records, o.tz);
    filters.push_back(o.tz.option);
    for (CLI::Option* filter : filters)
        verify->excludes(filter);
    verify->excludes(reindex);
    return records;
}

int RunRecords(const RecordsOptions& o) {
    RecordFilter filter;
    if (!o.pid.empty())
        filter.pid = o.pid;
    if (!o.since.empty())
        filter.since = ParseDate(o.since, "--since", false);
    if (!o.until.empty())
        filter.until = ParseDate(o.until, "--until", true);
    if (filter.since && filter.until && *filter.since > *filter.until)
        throw UsageError("--since " + o.since + " is after --until " + o.until);
    if (o.alarm)
        filter.verdict = "ALARM";
    if (o.ok)
        filter.verdict = "OK";
    filter.incompleteOnly = o.incomplete;
    filter.changedOnly = o.changed;

    const TimeBase base = CallTimeBase(o.tz);
    const fs::path folder = RecordFolderPath();
    RecordsIndex index(RecordsIndexPath(), folder, ProfileFolderPath());
    std::error_code error;
    const bool noFolder = !fs::exists(folder, error) && !error;  // nothing kept yet
    if (o.verify) {
        if (noFolder) {
            WriteStdout("0 records checked in " + folder.string() + ": all intact\n");
            return 0;
        }
        return Verify(index);
    }
    if (!noFolder)
        SayRebuilt(index, o.reindex ? index.Reindex() : index.Update());
    const std::vector<RecordFacts> records = index.List(filter);
    if (o.json) {
        nlohmann::ordered_json array = nlohmann::ordered_json::array();
        for (const RecordFacts& r : records)
            array.push_back(RecordJson(folder, r, base));
        WriteStdout(array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
        return 0;
    }
    std::string text;
    if (!records.empty() && !base.IsCardClock())
        text = "Times in " +
               TimeBaseName(base, sys_seconds{seconds{records.front().lastReading.value_or(0)}}) +
               "\n";
    if (!records.empty())
        text += Columns("FIRST READING", "LAST READING", "PID", "READINGS", "MAXIMUM", "MINIMUM",
                        "MKT", "VERDICT") +
                "FILE\n";
    for (const RecordFacts& r : records)
        text += RecordLine(folder, r, base);
    WriteStdout(text);
    return 0;
}

}  // namespace halvik::cli
