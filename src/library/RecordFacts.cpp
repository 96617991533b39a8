// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/RecordFacts.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "analysis/Statistics.h"
#include "logger/Conversions.h"

namespace halvik {

namespace {

constexpr std::int64_t kReadingSeconds = 6 * 60;

// The value the grid shows for a decoded reading, read back as the statistics read it: one
// decimal, halves away from zero. Below 1000 degrees that is a plain rounding of the exact
// value (a reading has eight significant bits, so value * 10 is exact); beyond it the grid keeps
// four significant digits, so its own text is read back.
long double ShownValue(long double celsius, TemperatureUnit unit) {
    const long double value =
        unit == TemperatureUnit::Fahrenheit ? FahrenheitReading(celsius) : celsius;
    if (std::isfinite(value) && std::fabs(value) < 999.0L) {
        const long double tenths = std::roundl(value * 10.0L);
        return tenths / 10.0L + 0.0L;  // + 0.0 turns -0.0 into 0.0, as the grid's "0.0"
    }
    if (!std::isfinite(value))
        return value;
    return TextToNumber(TemperatureText(value, LocaleSettings{}), ".");
}

// A statistic as its caption shows it, read back.
double StatisticValue(long double value) {
    return static_cast<double>(TextToNumber(StatisticText(value, LocaleSettings{}), "."));
}

}  // namespace

RecordFacts FactsOfRecord(const LoadedRecord& loaded) {
    const Record& record = loaded.record;
    RecordFacts facts;
    for (std::size_t i = 0; i < 5 && i < record.header.size(); ++i) {
        static constexpr char kHex[] = "0123456789abcdef";
        if (i > 0)
            facts.pid += ' ';
        facts.pid += TwoDigitText(record.header[i]);
        facts.pidHex += kHex[record.header[i] >> 4];
        facts.pidHex += kHex[record.header[i] & 0x0F];
    }
    facts.announced = RecordReadingCount(record);
    facts.count = RecordReadingsReceived(record);
    facts.complete = record.complete;
    facts.intact = loaded.intact;
    facts.downloadedAt = record.downloadedAt.time_since_epoch().count();
    facts.host = record.host;
    facts.unit = record.unit;
    if (const auto first = RecordFirstReading(record)) {
        facts.firstReading = first->time_since_epoch().count();
        if (facts.count > 0)
            facts.lastReading = *facts.firstReading + kReadingSeconds * (facts.count - 1);
    }

    if (facts.count == 0)
        return facts;
    // The statistics panel's own numbers over the values the grid shows, then read back from
    // the texts its captions show.
    std::vector<long double> shown;
    shown.reserve(static_cast<std::size_t>(facts.count));
    for (int i = 0; i < facts.count; ++i) {
        const std::size_t at = 2 * static_cast<std::size_t>(i);
        shown.push_back(
            ShownValue(DecodeReading(record.readings[at], record.readings[at + 1]), record.unit));
    }
    const StatisticsNumbers numbers = ComputeStatistics(shown, record.unit);
    if (numbers.maximum)
        facts.maximum = StatisticValue(*numbers.maximum);
    if (numbers.minimum)
        facts.minimum = StatisticValue(*numbers.minimum);
    if (numbers.mkt)
        facts.mkt = StatisticValue(*numbers.mkt);
    return facts;
}

void ReviewFacts(RecordFacts& facts, const Record& record, const LimitProfile& profile) {
    const std::vector<double> celsius =
        CelsiusGridValues(record.readings, RecordReadingCount(record));
    facts.verdict = VerdictText(Review(celsius, profile).verdict);
    facts.profile = profile.name;
}

}  // namespace halvik
