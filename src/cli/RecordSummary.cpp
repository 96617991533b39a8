// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RecordSummary.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "cli/NameJson.h"
#include "cli/ReviewOptions.h"
#include "download/KeptDownload.h"
#include "logger/Conversions.h"

namespace halvik::cli {

namespace {

constexpr std::chrono::minutes kReadingInterval{6};

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A shown value, one decimal; a limit as given ("2.25", "8").
std::string Number(double value, const char* format = "%.1f") {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string TimeText(const ShownRecord& shown, std::size_t index, bool after = false) {
    const RecordSummary& s = shown.summary;
    if (index >= s.times.size())
        return "unknown";
    const auto moment = s.times[index] + (after ? kReadingInterval : std::chrono::minutes{0});
    if (shown.timeBase.IsCardClock())
        return UtcTimeText(moment);
    return IsoTimeText(shown.timeBase, moment);
}

nlohmann::ordered_json TimeJson(const ShownRecord& shown, std::size_t index, bool after = false) {
    if (index >= shown.summary.times.size())
        return nullptr;
    return TimeText(shown, index, after);
}

// The moment a zone's abbreviations are looked up for: the first reading, or now.
std::chrono::sys_seconds AroundTime(const RecordSummary& s) {
    if (!s.times.empty())
        return s.times.front();
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

// A statistic as JSON: the number at one decimal, null when there is none. The maximum and
// minimum are readings and already hold one decimal; the MKT is rounded to it.
nlohmann::ordered_json StatisticJson(const RecordSummary& s, const auto& number) {
    if (!s.hasStatistics || !number)
        return nullptr;
    return static_cast<double>(std::round(static_cast<long double>(*number) * 10.0L) / 10.0L);
}

// "121.5 °C", or "n/a" when no reading is a real temperature.
std::string StatisticText(const auto& number, const std::string& unit) {
    return number ? OneDecimalText(*number, LocaleSettings{}) + unit : std::string("n/a");
}

}  // namespace

std::string ShownTimeText(const ShownRecord& shown, std::size_t index, bool after) {
    return TimeText(shown, index, after);
}

const char* UnitLetter(TemperatureUnit unit) {
    return unit == TemperatureUnit::Fahrenheit ? "F" : "C";
}

RecordSummary SummariseRecord(const Record& record, TemperatureUnit unit) {
    const ReplayedDownload replayed = ReplayRecord(record, unit, LocaleSettings{});
    if (replayed.phase == DownloadPhase::Failed)
        throw std::runtime_error("the readings cannot be shown: " + replayed.problem);
    const ParseResult& parse = replayed.parse;

    RecordSummary s;
    s.pid = Trimmed(replayed.state.PidText);
    s.announced = replayed.state.RecordCount;
    s.count = replayed.grid.rowCount() - 1;
    s.complete = record.complete;
    s.unit = unit;
    // The values as the grid shows them, as numbers (the parse's own).
    if (parse.points.size() != static_cast<std::size_t>(s.count))
        throw std::runtime_error(
            "the readings cannot be shown: " + std::to_string(parse.points.size()) +
            " values for " + std::to_string(s.count) + " rows");
    s.values.reserve(parse.points.size());
    for (const ChartPoint& point : parse.points)
        s.values.push_back(point.value);
    if (const auto first = RecordFirstReading(record)) {
        s.times.reserve(s.values.size());
        for (int i = 0; i < s.count; ++i)
            s.times.push_back(*first + kReadingInterval * i);
    }
    if (record.header.size() >= kHeaderDataLength)
        s.headerCount = 256 * record.header[19] + record.header[20];
    if (!replayed.headerProblem.empty())
        s.warnings.push_back(replayed.headerProblem);
    s.hasStatistics = parse.hasStatistics && s.count > 0;
    if (s.hasStatistics) {
        s.statistics = parse.statistics.numbers;
        s.elapsed = Trimmed(parse.statistics.elapsed);
        if (!parse.statistics.impossibleMessage.empty())
            s.warnings.push_back(parse.statistics.impossibleMessage);
    }
    return s;
}

std::string SummaryText(const ShownRecord& shown) {
    const RecordSummary& s = shown.summary;
    const std::string unit = std::string(" \u00b0") + UnitLetter(s.unit);
    std::string out;
    auto line = [&out](const char* name, const std::string& value) {
        char label[24];
        std::snprintf(label, sizeof label, "%-15s", name);
        out += label + value + "\n";
    };
    line("PID", s.pid);
    if (!shown.timeBase.IsCardClock())
        line("time zone", TimeBaseName(shown.timeBase, AroundTime(s)));
    line("first reading", s.count > 0 ? TimeText(shown, 0) : "none");
    line("last reading",
         s.count > 0 ? TimeText(shown, static_cast<std::size_t>(s.count - 1)) : "none");
    line("readings",
         std::to_string(s.count) +
             (s.complete ? " (complete)" : " of " + std::to_string(s.announced) + " (incomplete)"));
    if (s.hasStatistics) {
        line("maximum", StatisticText(s.statistics.maximum, unit));
        line("minimum", StatisticText(s.statistics.minimum, unit));
        line("MKT", StatisticText(s.statistics.mkt, unit));
        line("elapsed", s.elapsed);
    }
    if (shown.intact)
        line("digest", *shown.intact ? "intact" : "CHANGED since the record was kept");
    for (const std::string& warning : s.warnings)
        line("warning", warning);
    if (shown.limits) {
        const LimitAnalysis& a = *shown.limits;
        line("limits", Number(a.low, "%g") + " to " + Number(a.high, "%g") + unit);
        line("in range", std::to_string(a.inRangeMinutes) + " min");
        line("above", std::to_string(a.aboveMinutes) + " min");
        line("below", std::to_string(a.belowMinutes) + " min");
        for (const Excursion& e : a.excursions) {
            line("excursion", std::string(e.above ? "above " : "below ") +
                                  TimeText(shown, static_cast<std::size_t>(e.first)) + " to " +
                                  TimeText(shown, static_cast<std::size_t>(e.last), true) + ", " +
                                  std::to_string(e.minutes()) + " min, peak " + Number(e.peak) +
                                  unit);
        }
    }
    if (shown.review)
        out += ReviewText(*shown.review, shown);
    return out;
}

std::string SummaryJson(const ShownRecord& shown) {
    const RecordSummary& s = shown.summary;
    nlohmann::ordered_json j;
    PutFileName(j, "file", shown.file);
    j["pid"] = s.pid;
    if (!shown.timeBase.IsCardClock())
        j["time_zone"] = shown.timeBase.ZoneName();
    j["first_reading"] = s.count > 0 ? TimeJson(shown, 0) : nullptr;
    j["last_reading"] =
        s.count > 0 ? TimeJson(shown, static_cast<std::size_t>(s.count - 1)) : nullptr;
    j["count"] = s.count;
    j["announced"] = s.announced;
    j["complete"] = s.complete;
    j["unit"] = UnitLetter(s.unit);
    j["max"] = StatisticJson(s, s.statistics.maximum);
    j["min"] = StatisticJson(s, s.statistics.minimum);
    j["mkt"] = StatisticJson(s, s.statistics.mkt);
    j["elapsed"] = s.hasStatistics ? nlohmann::ordered_json(s.elapsed) : nullptr;
    j["intact"] = shown.intact ? nlohmann::ordered_json(*shown.intact) : nullptr;
    j["header_count"] = s.headerCount;
    j["clock_valid"] = s.count == 0 || !s.times.empty();
    nlohmann::ordered_json leftOut = nlohmann::ordered_json::array();
    for (const StatisticsNumbers::LeftOut& reading : s.statistics.leftOut)
        leftOut.push_back(reading.number);
    j["left_out"] = std::move(leftOut);
    j["warnings"] = s.warnings;
    if (shown.limits) {
        const LimitAnalysis& a = *shown.limits;
        j["limits"] = {{"low", a.low}, {"high", a.high}};
        j["in_range_minutes"] = a.inRangeMinutes;
        j["above_minutes"] = a.aboveMinutes;
        j["below_minutes"] = a.belowMinutes;
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const Excursion& e : a.excursions) {
            list.push_back({{"side", e.above ? "above" : "below"},
                            {"start", TimeJson(shown, static_cast<std::size_t>(e.first))},
                            {"end", TimeJson(shown, static_cast<std::size_t>(e.last), true)},
                            {"minutes", e.minutes()},
                            {"peak", e.peak}});
        }
        j["excursions"] = std::move(list);
    }
    if (shown.review)
        AddReviewJson(j, *shown.review, shown);
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace halvik::cli
