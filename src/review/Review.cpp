// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/Review.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/Statistics.h"
#include "logger/Conversions.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"

namespace halvik {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

double KeptToHundredths(double celsius) {
    return std::round(celsius * 100.0) / 100.0;
}

// Reads rule texts left to right; errors carry the 1-based position of what was wrong.
class RuleReader {
  public:
    explicit RuleReader(std::string_view text) : text_(text) {}

    [[noreturn]] void Fail(std::size_t at, const std::string& reason) const {
        throw RuleError(text_, at + 1, reason);
    }
    void SkipBlanks() {
        while (at_ < text_.size() && IsBlank(text_[at_]))
            ++at_;
    }
    bool AtEnd() const { return at_ >= text_.size(); }
    std::size_t At() const { return at_; }
    std::string Rest() const { return std::string(text_.substr(at_)); }

    bool TakeWord(std::string_view word) {
        if (text_.size() - at_ < word.size())
            return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (Lower(text_[at_ + i]) != word[i])
                return false;
        at_ += word.size();
        return true;
    }
    std::string Letters() {
        std::string word;
        while (at_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[at_])))
            word += Lower(text_[at_++]);
        return word;
    }

    Comparison TakeComparison() {
        if (TakeWord(">="))
            return Comparison::GreaterEqual;
        if (TakeWord("<="))
            return Comparison::LessEqual;
        if (TakeWord(">"))
            return Comparison::Greater;
        if (TakeWord("<"))
            return Comparison::Less;
        Fail(at_, "expected >, >=, < or <=");
    }

    // [+-]digits[.digits]: no exponents, no infinities, nothing a locale would change.
    double TakeNumber(const char* what) {
        const std::size_t start = at_;
        std::size_t end = at_;
        if (end < text_.size() && (text_[end] == '+' || text_[end] == '-'))
            ++end;
        const std::size_t digits = end;
        while (end < text_.size() && IsDigit(text_[end]))
            ++end;
        if (end == digits)
            Fail(start, std::string("expected ") + what);
        if (end < text_.size() && text_[end] == '.') {
            ++end;
            const std::size_t fraction = end;
            while (end < text_.size() && IsDigit(text_[end]))
                ++end;
            if (end == fraction)
                Fail(end, "expected a digit after the decimal point");
        }
        std::string number(text_.substr(text_[start] == '+' ? start + 1 : start,
                                        end - (text_[start] == '+' ? start + 1 : start)));
        double value = 0;
        const auto [ptr, error] =
            std::from_chars(number.data(), number.data() + number.size(), value);
        if (error != std::errc() || ptr != number.data() + number.size())
            Fail(start, std::string(what) + " is out of range");
        at_ = end;
        return value;
    }

    // A threshold and its optional unit: "8", "-0.5", "46.4F", "2.0 °C".
    double TakeTemperature() {
        const std::size_t start = at_;
        const double value = TakeNumber("a temperature");
        std::size_t unitAt = at_;
        while (unitAt < text_.size() && IsBlank(text_[unitAt]))
            ++unitAt;
        std::size_t letterAt = unitAt;
        if (text_.substr(letterAt, 2) == "\u00b0")
            letterAt += 2;
        bool fahrenheit = false;
        if (letterAt < text_.size() && (text_[letterAt] == 'F' || text_[letterAt] == 'C') &&
            (letterAt + 1 >= text_.size() ||
             !std::isalpha(static_cast<unsigned char>(text_[letterAt + 1])))) {
            fahrenheit = text_[letterAt] == 'F';
            at_ = letterAt + 1;
        } else if (letterAt != unitAt) {
            Fail(letterAt, "expected C or F after the degree sign");
        }
        const double celsius = fahrenheit ? (value - 32.0) / 1.8 : value;
        if (!(std::fabs(celsius) <= kMaxThresholdCelsius))
            Fail(start,
                 "the temperature is beyond " + ThresholdText(kMaxThresholdCelsius) + " \u00b0C");
        return KeptToHundredths(celsius);
    }

    int TakeDelay() {
        const std::size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-')
            Fail(start, "a delay cannot be negative");
        const double amount = TakeNumber("a delay such as 30min, 10h or 2d");
        SkipBlanks();
        const std::size_t unitAt = at_;
        const std::string unit = Letters();
        double minutes = 0;
        if (unit == "min" || unit == "m")
            minutes = amount;
        else if (unit == "h")
            minutes = amount * 60;
        else if (unit == "d")
            minutes = amount * 24 * 60;
        else
            Fail(unitAt, unit.empty() ? "expected min, h or d after the delay"
                                      : "unknown unit '" + unit + "' (min, h or d)");
        if (minutes > kMaxRuleDelayMinutes)
            Fail(start, "a delay over a year is not a delay");
        if (minutes != std::floor(minutes))
            Fail(start, "the delay must be a whole number of minutes");
        return static_cast<int>(minutes);
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// Exact comparison of a one-decimal value with a threshold kept to 0.01: both as whole
// hundredths, so 8.0 read back from "8.0" equals the threshold 8 whatever binary noise either
// carries. Values far beyond every threshold, and values that are no number, compare as they
// are (never rounded to an integer they cannot be).
int Compare(double value, double threshold) {
    if (!std::isfinite(value) || std::fabs(value) > 1e12)
        return value < threshold ? -1 : 1;
    const long long a = std::llround(value * 10.0) * 10;
    const long long b = std::llround(threshold * 100.0);
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool Meets(Comparison comparison, int order) {
    switch (comparison) {
        case Comparison::Greater:
            return order > 0;
        case Comparison::GreaterEqual:
            return order >= 0;
        case Comparison::Less:
            return order < 0;
        case Comparison::LessEqual:
            return order <= 0;
    }
    return false;
}

bool IsUpward(Comparison comparison) {
    return comparison == Comparison::Greater || comparison == Comparison::GreaterEqual;
}

const char* ComparisonText(Comparison comparison) {
    switch (comparison) {
        case Comparison::Greater:
            return ">";
        case Comparison::GreaterEqual:
            return ">=";
        case Comparison::Less:
            return "<";
        case Comparison::LessEqual:
            return "<=";
    }
    return "?";
}

// The mean kinetic temperature of possible °C grid values. Grid values have one decimal, so a
// card's readings take few distinct values: the exponential terms are summed once per value,
// weighted by how often it occurs, which keeps a 60-day card well under a millisecond. Values
// beyond the table take the statistics' own path.
long double GridMkt(const std::vector<long double>& values) {
    constexpr int kLowest = -2731, kHighest = 10000;  // tenths of °C
    std::vector<int> counts(kHighest - kLowest + 1, 0);
    for (const long double value : values) {
        const long double tenths = std::round(value * 10.0L);
        if (!(tenths >= kLowest && tenths <= kHighest))
            return MeanKineticTemperature(values);
        ++counts[static_cast<std::size_t>(static_cast<int>(tenths) - kLowest)];
    }
    long double sum = 0.0L;
    for (int i = 0; i <= kHighest - kLowest; ++i)
        if (counts[static_cast<std::size_t>(i)] != 0)
            sum += counts[static_cast<std::size_t>(i)] *
                   std::exp(-10000.0L / ((i + kLowest) / 10.0L + 273.15L));
    return -10000.0L / std::log(sum / static_cast<long double>(values.size())) - 273.15L;
}

bool IsPossible(double celsius) {
    return IsPossibleTemperature(static_cast<long double>(celsius), TemperatureUnit::Celsius);
}

std::string DelayLabel(int minutes) {
    if (minutes >= 60 * 24 && minutes % (60 * 24) == 0)
        return std::to_string(minutes / (60 * 24)) + " d";
    if (minutes >= 60 && minutes % 60 == 0)
        return std::to_string(minutes / 60) + " h";
    return std::to_string(minutes) + " min";
}

}  // namespace

RuleError::RuleError(std::string_view rule, std::size_t position, const std::string& reason)
    : std::invalid_argument("rule '" + std::string(rule) + "', at " + std::to_string(position) +
                            ": " + reason),
      position_(position),
      reason_(reason) {}

AlarmRule ParseRule(std::string_view text) {
    RuleReader reader(text);
    AlarmRule rule;
    reader.SkipBlanks();
    if (reader.AtEnd())
        reader.Fail(reader.At(), "the rule is empty");
    if (reader.TakeWord("mkt")) {
        rule.kind = RuleKind::Mkt;
        reader.SkipBlanks();
    }
    rule.comparison = reader.TakeComparison();
    reader.SkipBlanks();
    rule.threshold = reader.TakeTemperature();
    reader.SkipBlanks();
    if (reader.AtEnd())
        return rule;
    if (rule.kind == RuleKind::Mkt)
        reader.Fail(reader.At(), "an MKT rule takes no delay");
    const std::size_t wordAt = reader.At();
    const std::string word = reader.Letters();
    if (word == "for")
        rule.kind = RuleKind::Single;
    else if (word == "total")
        rule.kind = RuleKind::Cumulative;
    else
        reader.Fail(wordAt, word.empty()
                                ? "expected 'for' or 'total'"
                                : "unknown word '" + word + "' (expected 'for' or 'total')");
    reader.SkipBlanks();
    rule.delayMinutes = reader.TakeDelay();
    reader.SkipBlanks();
    if (!reader.AtEnd())
        reader.Fail(reader.At(), "unexpected '" + reader.Rest() + "'");
    return rule;
}

std::string ThresholdText(double celsius) {
    const double kept = KeptToHundredths(celsius);
    char text[64];
    const long long hundredths = std::llround(kept * 100.0);
    std::snprintf(text, sizeof text, hundredths % 10 == 0 ? "%.1f" : "%.2f", kept);
    std::string result = text;
    if (result == "-0.0")
        result = "0.0";
    return result;
}

std::string DelayText(int minutes) {
    if (minutes >= 60 * 24 && minutes % (60 * 24) == 0)
        return std::to_string(minutes / (60 * 24)) + "d";
    if (minutes >= 60 && minutes % 60 == 0)
        return std::to_string(minutes / 60) + "h";
    return std::to_string(minutes) + "min";
}

std::string RuleText(const AlarmRule& rule) {
    std::string text = rule.kind == RuleKind::Mkt ? "mkt" : "";
    text += ComparisonText(rule.comparison);
    text += ThresholdText(rule.threshold);
    if (rule.kind == RuleKind::Mkt || (rule.delayMinutes == 0 && rule.kind == RuleKind::Single))
        return text;
    text += rule.kind == RuleKind::Single ? " for " : " total ";
    return text + DelayText(rule.delayMinutes);
}

std::string RuleLabel(const AlarmRule& rule) {
    std::string text = rule.kind == RuleKind::Mkt ? "MKT " : "";
    text += ComparisonText(rule.comparison) + ThresholdText(rule.threshold) + " \u00b0C";
    if (rule.kind == RuleKind::Mkt || (rule.delayMinutes == 0 && rule.kind == RuleKind::Single))
        return text;
    text += rule.kind == RuleKind::Single ? " for " : " in total ";
    return text + DelayLabel(rule.delayMinutes);
}

double ParseTemperature(std::string_view text) {
    RuleReader reader(text);
    reader.SkipBlanks();
    const double celsius = reader.TakeTemperature();
    reader.SkipBlanks();
    if (!reader.AtEnd())
        reader.Fail(reader.At(), "unexpected '" + reader.Rest() + "'");
    return celsius;
}

std::string ProfileProblem(const LimitProfile& profile) {
    if (profile.name.empty())
        return "the profile has no name";
    if (profile.name.size() > 100)
        return "the profile's name is longer than 100 characters";
    for (const char c : profile.name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "the profile's name holds a control character";
    for (const std::optional<double>& end : {profile.low, profile.high})
        if (end && !(std::fabs(*end) <= kMaxThresholdCelsius))
            return "a range end is not a temperature";
    if (profile.low && profile.high && *profile.low > *profile.high)
        return "the range's low end " + ThresholdText(*profile.low) +
               " \u00b0C is above its high end " + ThresholdText(*profile.high) + " \u00b0C";
    for (const AlarmRule& rule : profile.rules) {
        if (!(std::fabs(rule.threshold) <= kMaxThresholdCelsius))
            return "a rule's threshold is not a temperature";
        if (rule.delayMinutes < 0 || rule.delayMinutes > kMaxRuleDelayMinutes)
            return "rule '" + RuleText(rule) + "': the delay must be 0 to a year";
        if (rule.kind == RuleKind::Mkt && rule.delayMinutes != 0)
            return "rule '" + RuleText(rule) + "': an MKT rule takes no delay";
    }
    return {};
}

const char* VerdictText(Verdict verdict) {
    return verdict == Verdict::Alarm ? "ALARM" : "OK";
}

ReviewResult Review(std::span<const double> celsius, const LimitProfile& profile) {
    if (const std::string problem = ProfileProblem(profile); !problem.empty())
        throw std::invalid_argument(problem);
    ReviewResult result;
    result.profile = profile;
    const int count = static_cast<int>(celsius.size());
    result.readingCount = count;

    std::vector<bool> possible(celsius.size());
    std::vector<long double> possibleValues;
    possibleValues.reserve(celsius.size());
    constexpr long long kFar = std::numeric_limits<long long>::min();
    std::vector<long long> hundredths(celsius.size(), kFar);
    for (std::size_t i = 0; i < celsius.size(); ++i) {
        possible[i] = IsPossible(celsius[i]);
        if (possible[i] && std::fabs(celsius[i]) <= 1e12)
            hundredths[i] = std::llround(celsius[i] * 10.0) * 10;
        if (possible[i])
            possibleValues.push_back(celsius[i]);
    }

    // The range: time in range, above, below, and the excursions.
    for (int i = 0; i < count; ++i) {
        const double value = celsius[static_cast<std::size_t>(i)];
        const bool known = possible[static_cast<std::size_t>(i)];
        bool above;
        if (!known) {
            above = profile.high.has_value() || !profile.low.has_value();
        } else if (profile.high && Compare(value, *profile.high) > 0) {
            above = true;
        } else if (profile.low && Compare(value, *profile.low) < 0) {
            above = false;
        } else {
            result.inRangeMinutes += kReviewReadingMinutes;
            continue;
        }
        (above ? result.aboveMinutes : result.belowMinutes) += kReviewReadingMinutes;
        if (result.excursions.empty() || result.excursions.back().above != above ||
            result.excursions.back().last != i - 1)
            result.excursions.push_back({above, i, i, {}, {}, {}});
        ReviewExcursion& run = result.excursions.back();
        run.last = i;
        if (known) {
            run.lowest = run.lowest ? std::min(*run.lowest, value) : value;
            run.highest = run.highest ? std::max(*run.highest, value) : value;
            run.peak = above ? run.highest : run.lowest;
        }
    }
    if (count > 0) {
        const double all = kReviewReadingMinutes * static_cast<double>(count);
        result.inRangePercent = 100.0 * result.inRangeMinutes / all;
        result.abovePercent = 100.0 * result.aboveMinutes / all;
        result.belowPercent = 100.0 * result.belowMinutes / all;
    }

    // The rules.
    const bool anyLeftOut = possibleValues.size() != celsius.size();
    for (const AlarmRule& rule : profile.rules) {
        RuleStatus status;
        status.rule = rule;
        if (rule.kind == RuleKind::Mkt) {
            if (!possibleValues.empty()) {
                const std::string shown = StatisticText(GridMkt(possibleValues), LocaleSettings{});
                status.mkt = static_cast<double>(TextToNumber(shown, "."));
            }
            const bool meets =
                (anyLeftOut && IsUpward(rule.comparison)) ||
                (status.mkt && Meets(rule.comparison, Compare(*status.mkt, rule.threshold)));
            if (meets && count > 0) {
                status.triggered = true;
                status.triggerIndex = count - 1;
            }
        } else {
            const int needed = std::max(rule.delayMinutes, kReviewReadingMinutes);
            const long long threshold = std::llround(rule.threshold * 100.0);
            int run = 0, total = 0;
            for (int i = 0; i < count; ++i) {
                const std::size_t at = static_cast<std::size_t>(i);
                // Whole hundredths worked out once per reading (as Compare does), else Compare.
                const int order = hundredths[at] != kFar
                                      ? (hundredths[at] > threshold) - (hundredths[at] < threshold)
                                      : Compare(celsius[at], rule.threshold);
                const bool meets =
                    possible[at] ? Meets(rule.comparison, order) : IsUpward(rule.comparison);
                if (!meets) {
                    run = 0;
                    continue;
                }
                if (run == 0)
                    ++status.runs;
                run += kReviewReadingMinutes;
                total += kReviewReadingMinutes;
                status.longestMinutes = std::max(status.longestMinutes, run);
                const int counted = rule.kind == RuleKind::Single ? run : total;
                if (!status.triggered && counted >= needed) {
                    status.triggered = true;
                    status.triggerIndex = i;
                }
            }
            status.totalMinutes = total;
        }
        result.rules.push_back(status);
    }

    for (std::size_t r = 0; r < result.rules.size(); ++r) {
        const RuleStatus& status = result.rules[r];
        if (!status.triggered)
            continue;
        result.verdict = Verdict::Alarm;
        if (result.firstTriggered < 0 ||
            status.triggerIndex <
                result.rules[static_cast<std::size_t>(result.firstTriggered)].triggerIndex)
            result.firstTriggered = static_cast<int>(r);
    }
    return result;
}

std::vector<double> CelsiusGridValues(std::span<const std::uint8_t> readingBytes, int count) {
    std::vector<double> values;
    values.reserve(std::min(static_cast<std::size_t>(std::max(0, count)), readingBytes.size() / 2));
    const LocaleSettings point;
    // A card repeats a few hundred values over its readings: each pair of bytes is formatted and
    // read back once, by its place in `known` (0 for not yet seen, else its first index + 1).
    std::vector<std::uint32_t> known(1 << 16, 0);
    for (int i = 0; i < count && 2 * static_cast<std::size_t>(i) + 1 < readingBytes.size(); ++i) {
        const std::size_t at = 2 * static_cast<std::size_t>(i);
        std::uint32_t& seen =
            known[static_cast<std::size_t>(readingBytes[at] << 8 | readingBytes[at + 1])];
        if (seen != 0) {
            values.push_back(values[seen - 1]);
            continue;
        }
        const long double celsius = DecodeReading(readingBytes[at], readingBytes[at + 1]);
        values.push_back(static_cast<double>(TextToNumber(TemperatureText(celsius, point), ".")));
        seen = static_cast<std::uint32_t>(values.size());
    }
    return values;
}

}  // namespace halvik
