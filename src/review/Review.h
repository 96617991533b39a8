// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvik {

// Judging a download against a limit profile: an allowed range and alarm rules.
//
// Everything here works on the readings as the grid shows them in °C (one decimal, read back as
// numbers), whatever unit is on screen, so a verdict never depends on the display unit. Each
// reading stands for its six-minute interval. A reading that is left out of the statistics (not
// a possible temperature: not finite, below absolute zero, the format's infinity) meets every
// `>`/`>=` rule and is outside the range: a broken sensor never passes as a good reading.

inline constexpr int kReviewReadingMinutes = 6;
// The longest delay a rule may have: a year.
inline constexpr int kMaxRuleDelayMinutes = 366 * 24 * 60;
// Thresholds and range ends beyond this (in °C) are refused as absurd.
inline constexpr double kMaxThresholdCelsius = 100000.0;

enum class Comparison { Greater, GreaterEqual, Less, LessEqual };

enum class RuleKind {
    Single,      // one unbroken run of meeting readings reaches the delay
    Cumulative,  // all meeting readings of the download together reach the delay
    Mkt,         // the download's mean kinetic temperature meets the comparison
};

struct AlarmRule {
    Comparison comparison = Comparison::Greater;
    double threshold = 0;  // °C, kept to 0.01 °C
    RuleKind kind = RuleKind::Single;
    int delayMinutes = 0;  // 0: any one reading triggers; always 0 for Mkt
    bool operator==(const AlarmRule&) const = default;
};

// A rule text that cannot be read. what() names the rule and the position (1-based character)
// and the reason: "rule '>8 fo 30min', at 4: expected 'for' or 'total'".
class RuleError : public std::invalid_argument {
  public:
    RuleError(std::string_view rule, std::size_t position, const std::string& reason);
    std::size_t Position() const { return position_; }
    const std::string& Reason() const { return reason_; }

  private:
    std::size_t position_;
    std::string reason_;
};

// Reads a rule: `>8.0 for 30min`, `>=30 total 10h`, `<=-0.5 for 60min`, `>8`, `mkt>25`,
// `>46.4F for 1d`. A threshold is in °C, or in °F when written with F after it (then converted
// and kept to 0.01 °C); a C after it is allowed. Delays take min, h or d; no delay is 0.
// Blanks are allowed between the parts. Throws RuleError.
AlarmRule ParseRule(std::string_view text);

// The rule in the syntax ParseRule reads, threshold in °C: ">8.0 for 30min", "mkt>25.0",
// ">=30.0 total 10h", "<=-0.5 for 1h", ">8.0". ParseRule(RuleText(r)) == r.
std::string RuleText(const AlarmRule& rule);
// The rule for people: ">8.0 °C for 30 min", ">=30.0 °C in total 10 h", "MKT >25.0 °C",
// ">8.0 °C" (UTF-8).
std::string RuleLabel(const AlarmRule& rule);
// A temperature threshold as it is written: at least one decimal, two where needed ("8.0",
// "-0.5", "2.25").
std::string ThresholdText(double celsius);
// A duration as rules write it: "30min", "10h", "2d".
std::string DelayText(int minutes);

// Reads a temperature written as a rule threshold or range end ("8", "-0.5", "46.4F", "2C") into
// °C kept to 0.01. Throws RuleError (naming `text`) for anything else.
double ParseTemperature(std::string_view text);

// A limit profile: its name, the allowed range (either end may be open; both ends included) and
// its alarm rules.
struct LimitProfile {
    std::string name;
    std::optional<double> low, high;  // °C
    std::vector<AlarmRule> rules;
    bool operator==(const LimitProfile&) const = default;
};

// Empty when the profile can be used; otherwise why not: no name, a range with low above high,
// a range end or threshold that is not a number or absurd, a delay out of range.
std::string ProfileProblem(const LimitProfile& profile);

struct RuleStatus {
    AlarmRule rule;
    bool triggered = false;
    // The reading at which the rule triggered (0-based); it triggered at that reading's time plus
    // six minutes. For an MKT rule: the last reading. -1 when not triggered.
    int triggerIndex = -1;
    int totalMinutes = 0;       // all readings meeting the rule
    int longestMinutes = 0;     // the longest unbroken run
    int runs = 0;               // how many unbroken runs
    std::optional<double> mkt;  // MKT rules: the MKT compared (°C, one decimal), if any
};

// A maximal run of readings on one side outside the range.
struct ReviewExcursion {
    bool above = false;  // above the high end; otherwise below the low end
    int first = 0;       // index of its first reading
    int last = 0;        // index of its last reading; it ends at that reading's time + 6 min
    // Over the run's possible readings (none when all of them were left out): the peak (highest
    // of a run above, lowest of one below), and the run's lowest and highest values.
    std::optional<double> peak, lowest, highest;
    int minutes() const { return kReviewReadingMinutes * (last - first + 1); }
};

enum class Verdict { Ok, Alarm };
// "OK" or "ALARM".
const char* VerdictText(Verdict verdict);

struct ReviewResult {
    LimitProfile profile;
    int readingCount = 0;
    Verdict verdict = Verdict::Ok;  // ALARM when any rule triggered
    int inRangeMinutes = 0, aboveMinutes = 0, belowMinutes = 0;
    // Per cent of the download's minutes (6 x readingCount); 0 for no readings.
    double inRangePercent = 0, abovePercent = 0, belowPercent = 0;
    std::vector<RuleStatus> rules;  // in the profile's order
    std::vector<ReviewExcursion> excursions;
    // The rule that triggered first (earliest trigger, then profile order), or -1.
    int firstTriggered = -1;
};

// Reviews readings (°C as the grid shows them, read back; see CelsiusGridValues) under
// `profile`. Throws std::invalid_argument when ProfileProblem(profile) is not empty.
ReviewResult Review(std::span<const double> celsius, const LimitProfile& profile);

// The °C value the grid shows for each reading whose two bytes are in `readingBytes` (at most
// `count`), read back as a number: the values a review is made of, whatever unit is shown.
std::vector<double> CelsiusGridValues(std::span<const std::uint8_t> readingBytes, int count);

// Minutes from the first reading to when a reading's interval ends (index + 1) x 6.
inline int MinutesAfterFirst(int index) {
    return kReviewReadingMinutes * (index + 1);
}

}  // namespace halvik
