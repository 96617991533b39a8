// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ReviewOptions.h"

#include <cmath>
#include <cstdio>

#include "cli/NameJson.h"
#include "cli/Output.h"

namespace halvik::cli {

namespace {

const std::string kDegrees = " \u00b0C";

// When reading `index`'s interval ends: a rule's trigger time, an excursion's end.
std::string At(const ShownRecord& shown, int index) {
    return index < 0 ? "unknown" : ShownTimeText(shown, static_cast<std::size_t>(index), true);
}

std::string StartOf(const ShownRecord& shown, int index) {
    return index < 0 ? "unknown" : ShownTimeText(shown, static_cast<std::size_t>(index));
}

nlohmann::ordered_json TimeJson(const std::string& text) {
    return text == "unknown" ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

nlohmann::ordered_json Optional(const std::optional<double>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

double Percent(double value) {
    return std::round(value * 100.0) / 100.0;
}

std::string PercentText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", value);
    return text;
}

std::string RangeText(const LimitProfile& profile) {
    if (profile.low && profile.high)
        return ThresholdText(*profile.low) + " to " + ThresholdText(*profile.high) + kDegrees;
    if (profile.low)
        return "from " + ThresholdText(*profile.low) + kDegrees;
    if (profile.high)
        return "up to " + ThresholdText(*profile.high) + kDegrees;
    return "none";
}

std::string Line(const char* name, const std::string& value) {
    char label[24];
    std::snprintf(label, sizeof label, "%-15s", name);
    return label + value + "\n";
}

double ToCelsius(double value, TemperatureUnit unit) {
    const double celsius = unit == TemperatureUnit::Fahrenheit ? (value - 32.0) / 1.8 : value;
    return std::round(celsius * 100.0) / 100.0;
}

}  // namespace

void AddReviewOptions(CLI::App& command, ReviewRequest& request, bool withFailOption) {
    command
        .add_option("--profile", request.profile,
                    "Review the readings under this limit profile: a preset's or your profile's "
                    "name (halvik-cli profiles lists them) or a profile file")
        ->type_name("NAME|FILE");
    command
        .add_option("--alarm", request.alarms,
                    "An alarm rule, such as '>8 for 30min', '>=30 total 10h' or 'mkt>25' "
                    "(thresholds in \u00b0C, or with F: '>46.4F'); may be given more than once")
        ->type_name("RULE")
        ->allow_extra_args(false);
    if (withFailOption)
        command.add_flag("--fail-on-alarm", request.failOnAlarm,
                         "Exit status 1 when the review's verdict is ALARM");
}

std::optional<NamedProfile> RequestedProfile(const ReviewRequest& request,
                                             const std::optional<std::pair<double, double>>& limits,
                                             TemperatureUnit limitsUnit) {
    if (!request.Asked())
        return std::nullopt;
    NamedProfile named;
    if (!request.profile.empty()) {
        named = ResolveProfile(request.profile, ProfileFolderPath());
    } else {
        named.profile.name = "command line";
        if (limits) {
            named.profile.low = ToCelsius(limits->first, limitsUnit);
            named.profile.high = ToCelsius(limits->second, limitsUnit);
        }
    }
    for (const std::string& text : request.alarms) {
        try {
            named.profile.rules.push_back(ParseRule(text));
        } catch (const RuleError& e) {
            throw UsageError(std::string("--alarm: ") + e.what());
        }
    }
    if (const std::string problem = ProfileProblem(named.profile); !problem.empty())
        throw UsageError("the profile cannot be used: " + problem);
    return named;
}

ReviewResult ReviewRecord(const Record& record, const RecordSummary& summary,
                          const LimitProfile& profile) {
    return Review(CelsiusGridValues(record.readings, summary.count), profile);
}

std::optional<ReviewResult> ReviewDownload(const Record& record, const RecordSummary& summary,
                                           const ReviewRequest& request,
                                           const std::optional<NamedProfile>& requested) {
    const std::filesystem::path folder = ProfileFolderPath();
    if (requested) {
        // Only a profile found by its name can be found again for the next download.
        const bool byName = !request.profile.empty() && request.alarms.empty() &&
                            requested->profile.name == request.profile;
        if (byName) {
            try {
                RememberProfile(folder, summary.pid, requested->profile.name);
            } catch (const ProfileError& e) {
                Problem(std::string("the card's profile could not be remembered: ") + e.what());
            }
        }
        return ReviewRecord(record, summary, requested->profile);
    }
    const std::optional<std::string> remembered = RememberedProfile(folder, summary.pid);
    if (!remembered)
        return std::nullopt;
    try {
        return ReviewRecord(record, summary, ResolveProfile(*remembered, folder).profile);
    } catch (const std::exception& e) {
        Problem("the profile this card was last reviewed with cannot be used: " +
                std::string(e.what()));
        return std::nullopt;
    }
}

std::string VerdictLine(const ReviewResult& review, const ShownRecord& shown) {
    if (review.firstTriggered < 0)
        return VerdictText(review.verdict);
    const RuleStatus& first = review.rules[static_cast<std::size_t>(review.firstTriggered)];
    return std::string(VerdictText(review.verdict)) + ": " + RuleLabel(first.rule) +
           ", triggered " + At(shown, first.triggerIndex);
}

std::string ReviewText(const ReviewResult& review, const ShownRecord& shown) {
    std::string out =
        Line("profile", review.profile.name + " (range " + RangeText(review.profile) + ")");
    out += Line("verdict", VerdictLine(review, shown));
    out += Line("time in range", std::to_string(review.inRangeMinutes) + " min (" +
                                     PercentText(review.inRangePercent) + ")");
    out += Line("time above", std::to_string(review.aboveMinutes) + " min (" +
                                  PercentText(review.abovePercent) + ")");
    out += Line("time below", std::to_string(review.belowMinutes) + " min (" +
                                  PercentText(review.belowPercent) + ")");
    for (const RuleStatus& s : review.rules) {
        std::string value = RuleLabel(s.rule) + ": ";
        value += s.triggered ? "triggered " + At(shown, s.triggerIndex) : "not triggered";
        if (s.rule.kind == RuleKind::Mkt)
            value += s.mkt ? ", MKT " + ThresholdText(*s.mkt) + kDegrees : ", no MKT";
        else
            value += ", total " + std::to_string(s.totalMinutes) + " min, longest " +
                     std::to_string(s.longestMinutes) + " min, " + std::to_string(s.runs) +
                     (s.runs == 1 ? " run" : " runs");
        out += Line("rule", value);
    }
    for (const ReviewExcursion& e : review.excursions) {
        std::string value = std::string(e.above ? "above " : "below ") + StartOf(shown, e.first) +
                            " to " + At(shown, e.last) + ", " + std::to_string(e.minutes()) +
                            " min";
        if (e.peak)
            value += ", peak " + ThresholdText(*e.peak) + kDegrees + " (" +
                     ThresholdText(*e.lowest) + " to " + ThresholdText(*e.highest) + kDegrees + ")";
        else
            value += ", no possible reading";
        out += Line("out of range", value);
    }
    return out;
}

void AddReviewJson(nlohmann::ordered_json& j, const ReviewResult& review,
                   const ShownRecord& shown) {
    nlohmann::ordered_json ruleTexts = nlohmann::ordered_json::array();
    for (const AlarmRule& rule : review.profile.rules)
        ruleTexts.push_back(RuleText(rule));
    j["profile"] = {{"name", review.profile.name},
                    {"low", Optional(review.profile.low)},
                    {"high", Optional(review.profile.high)},
                    {"rules", std::move(ruleTexts)}};
    j["verdict"] = VerdictText(review.verdict);
    nlohmann::ordered_json rules = nlohmann::ordered_json::array();
    for (const RuleStatus& s : review.rules) {
        nlohmann::ordered_json rule = {
            {"rule", RuleText(s.rule)},
            {"triggered", s.triggered},
            {"at", s.triggered ? TimeJson(At(shown, s.triggerIndex)) : nullptr},
            {"total_minutes", s.totalMinutes},
            {"longest_minutes", s.longestMinutes},
            {"runs", s.runs}};
        if (s.rule.kind == RuleKind::Mkt)
            rule["mkt"] = Optional(s.mkt);
        rules.push_back(std::move(rule));
    }
    j["rules"] = std::move(rules);
    nlohmann::ordered_json excursions = nlohmann::ordered_json::array();
    for (const ReviewExcursion& e : review.excursions)
        excursions.push_back({{"side", e.above ? "above" : "below"},
                              {"start", TimeJson(StartOf(shown, e.first))},
                              {"end", TimeJson(At(shown, e.last))},
                              {"minutes", e.minutes()},
                              {"peak", Optional(e.peak)},
                              {"low", Optional(e.lowest)},
                              {"high", Optional(e.highest)}});
    j["range"] = {{"in_range_minutes", review.inRangeMinutes},
                  {"in_range_percent", Percent(review.inRangePercent)},
                  {"above_minutes", review.aboveMinutes},
                  {"above_percent", Percent(review.abovePercent)},
                  {"below_minutes", review.belowMinutes},
                  {"below_percent", Percent(review.belowPercent)},
                  {"excursions", std::move(excursions)}};
}

CLI::App* AddProfilesCommand(CLI::App& app, bool& json) {
    CLI::App* profiles = app.add_subcommand(
        "profiles",
        "The limit profiles on offer: the presets, then yours (one TOML file each in "
        "$XDG_CONFIG_HOME/halvik/profiles), with their ranges and rules");
    profiles->add_flag("--json", json, "One JSON array on standard output");
    return profiles;
}

int ListProfilesCommand(bool json) {
    const ProfileList list = ListProfiles(ProfileFolderPath());
    if (json) {
        nlohmann::ordered_json all = nlohmann::ordered_json::array();
        for (const NamedProfile& named : list.profiles) {
            nlohmann::ordered_json rules = nlohmann::ordered_json::array();
            for (const AlarmRule& rule : named.profile.rules)
                rules.push_back(RuleText(rule));
            nlohmann::ordered_json one = {{"name", named.profile.name}, {"preset", named.preset}};
            if (named.preset)
                one["file"] = nullptr;
            else
                PutFileName(one, "file", named.file.string());  // its bytes, if not UTF-8
            one["source"] = named.preset ? nlohmann::ordered_json(named.source)
                                         : nlohmann::ordered_json(nullptr);
            one["low"] = Optional(named.profile.low);
            one["high"] = Optional(named.profile.high);
            one["rules"] = std::move(rules);
            all.push_back(std::move(one));
        }
        WriteStdout(all.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                    "\n");
    } else {
        std::string out;
        for (const NamedProfile& named : list.profiles) {
            out += named.profile.name + "  (" +
                   (named.preset ? "preset: " + named.source : named.file.string()) + ")\n";
            out += "    range  " + RangeText(named.profile) + "\n";
            std::string rules;
            for (const AlarmRule& rule : named.profile.rules)
                rules += (rules.empty() ? "" : ", ") + RuleText(rule);
            out += "    rules  " + (rules.empty() ? std::string("none") : rules) + "\n";
        }
        WriteStdout(out);
    }
    for (const std::string& problem : list.problems)
        Problem(problem);
    return list.problems.empty() ? 0 : 2;
}

}  // namespace halvik::cli
