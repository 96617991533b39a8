// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/RecordSummary.h"
#include "review/Profiles.h"
#include "review/Review.h"

namespace halvik::cli {

// --profile, --alarm and --fail-on-alarm, as show, download and report --full take them.
struct ReviewRequest {
    std::string profile;              // a name or a file; empty: none
    std::vector<std::string> alarms;  // rule texts
    bool failOnAlarm = false;
    bool Asked() const { return !profile.empty() || !alarms.empty(); }
};

void AddReviewOptions(CLI::App& command, ReviewRequest& request, bool withFailOption = true);

// The profile a request asks for, or nothing when it asks for none: --profile's, with the
// --alarm rules added; or, for --alarm alone, a profile of those rules whose range is --limits
// (given in `limitsUnit`, converted to °C). Throws UsageError for a rule that does not parse and
// ProfileError for a profile that cannot be found or read.
std::optional<NamedProfile> RequestedProfile(const ReviewRequest& request,
                                             const std::optional<std::pair<double, double>>& limits,
                                             TemperatureUnit limitsUnit);

// The download's review: the °C values the grid shows of the readings `summary` shows.
ReviewResult ReviewRecord(const Record& record, const RecordSummary& summary,
                          const LimitProfile& profile);

// The review of a download just made: under the requested profile (a named one is then
// remembered for the card), or else under the profile the card was last reviewed with; nothing
// when neither applies. A memory that cannot be kept or a remembered profile that is gone is said
// on standard error.
std::optional<ReviewResult> ReviewDownload(const Record& record, const RecordSummary& summary,
                                           const ReviewRequest& request,
                                           const std::optional<NamedProfile>& requested);

// "ALARM: >8.0 °C for 30 min, triggered 2026-03-12T03:12:00Z" (in the shown clock), or "OK".
std::string VerdictLine(const ReviewResult& review, const ShownRecord& shown);
// The review as lines of "name  value", as SummaryText writes them.
std::string ReviewText(const ReviewResult& review, const ShownRecord& shown);
// Adds "profile", "verdict", "rules" and "range" to a summary's JSON.
void AddReviewJson(nlohmann::ordered_json& json, const ReviewResult& review,
                   const ShownRecord& shown);

// `halvik-cli profiles`: the presets and the user's profiles with their rules. Exit status 2
// when a profile file could not be read (the others are still listed).
CLI::App* AddProfilesCommand(CLI::App& app, bool& json);
int ListProfilesCommand(bool json);

}  // namespace halvik::cli
