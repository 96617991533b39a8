// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "logger/Conversions.h"
#include "logger/DecimalText.h"
#include "logger/Header.h"
#include "logger/LoggerError.h"

namespace halvik {

namespace {

constexpr long double kActivationOverGas = 10000.0L;  // 83.144 kJ/mol / 8.3144 J/(mol K)
constexpr long double kKelvin = 273.15L;
constexpr std::size_t kListedImpossibleReadings = 10;
constexpr const char* kNoStatistic = "n/a";  // maximum, minimum and MKT of no possible reading

// The card's readings are single-precision numbers with a 7-bit mantissa: the largest finite one
// is 2^127 * (2 - 2^-7), and an exponent byte of 255 (2^128 and up) stands for infinity. The
// limit lies halfway between the two, so that the grid's rounding to four significant digits (in
// either unit) cannot move a value across it.
const long double kLargestFinite = std::ldexp(2.0L - 1.0L / 256.0L, 127);

long double ToCelsius(long double value, bool fahrenheit) {
    return fahrenheit ? (value - 32.0L) / 1.8L : value;
}

}  // namespace

bool IsPossibleTemperature(long double value, TemperatureUnit unit) {
    if (!std::isfinite(value))
        return false;
    const long double celsius = ToCelsius(value, unit == TemperatureUnit::Fahrenheit);
    return celsius >= -kKelvin && celsius <= kLargestFinite;
}

std::string ImpossibleReadingsMessage(const std::vector<ImpossibleReading>& readings,
                                      TemperatureUnit unit) {
    if (readings.empty())
        return {};
    const std::string unitText = UnitText(unit);
    std::string text = readings.size() == 1 ? "1 reading cannot be a real temperature"
                                            : IntText(static_cast<int>(readings.size())) +
                                                  " readings cannot be real temperatures";
    text +=
        " (not a finite number, or below absolute zero). It is shown as the card sent it, "
        "but left out of the maximum, the minimum and the MKT:";
    if (readings.size() != 1)
        text.replace(text.find("It is"), 5, "They are");
    for (std::size_t i = 0; i < readings.size() && i < kListedImpossibleReadings; ++i) {
        text += i == 0 ? " " : ", ";
        text += "reading " + IntText(readings[i].number) + " (" + readings[i].text + " " +
                unitText + ")";
    }
    if (readings.size() > kListedImpossibleReadings)
        text += " and " + IntText(static_cast<int>(readings.size() - kListedImpossibleReadings)) +
                " more";
    return text + ".";
}

std::string StatisticText(long double value, const LocaleSettings& locale) {
    return FixedOneDecimalText(value, 3, locale.decimalSeparator);
}

std::string OneDecimalText(long double value, const LocaleSettings& locale) {
    return FixedOneDecimalText(value, 40, locale.decimalSeparator);
}

std::string ElapsedText(int readingCount) {
    const int minutes = readingCount > 1 ? (readingCount - 1) * kLogIntervalMinutes : 0;
    const int days = minutes / 1440;
    const int hours = minutes % 1440 / 60;
    std::string text;
    if (days != 0)
        text = IntText(days) + " Day(s),  ";
    text += IntText(hours) + " Hour(s),  " + IntText(minutes % 1440 % 60) + " Minute(s)";
    return text;
}

namespace {

// One reading's term of the MKT sum, exp(-dH/R / T) with T in kelvin.
long double MktTerm(long double celsius) {
    // A damaged reading can decode to absolute zero: its term is then 0, not a division by zero.
    const long double kelvin = celsius + kKelvin;
    return kelvin != 0.0L ? std::exp(-kActivationOverGas / kelvin) : 0.0L;
}

// The MKT sum over values in the given unit, in reading order. Values read back from the grid
// are whole tenths and repeat a lot, so each tenth's term is worked out once; the sum is the
// same, term by term, as computing every term afresh.
long double MktSum(std::span<const long double> values, bool fahrenheit) {
    constexpr long long kLowest = -3000, kHighest = 3000;  // tenths: -300.0 .. 300.0
    std::vector<long double> cached(static_cast<std::size_t>(kHighest - kLowest + 1), -1.0L);
    long double sum = 0.0L;
    for (long double value : values) {
        const long double celsius = ToCelsius(value, fahrenheit);
        long double* slot = nullptr;
        if (std::fabs(value) < 300.0L) {
            const auto tenths = static_cast<long long>(value * 10.0L + (value < 0 ? -0.5L : 0.5L));
            if (static_cast<long double>(tenths) / 10.0L == value)
                slot = &cached[static_cast<std::size_t>(tenths - kLowest)];
        }
        if (slot == nullptr) {
            sum += MktTerm(celsius);
            continue;
        }
        if (*slot < 0.0L)
            *slot = MktTerm(celsius);
        sum += *slot;
    }
    return sum;
}

// The MKT in °C of values in the given unit. When every term rounds to 1 (all readings beyond
// about 10^23 degrees) the logarithm of the mean term would be 0: it is then taken as
// log1p of the mean distance of the terms from 1, which those readings still tell apart.
long double Mkt(std::span<const long double> values, bool fahrenheit) {
    const auto count = static_cast<long double>(values.size());
    long double logMean = std::log(MktSum(values, fahrenheit) / count);
    if (logMean == 0.0L) {
        long double distance = 0.0L;
        for (long double value : values) {
            const long double kelvin = ToCelsius(value, fahrenheit) + kKelvin;
            distance += kelvin != 0.0L ? std::expm1(-kActivationOverGas / kelvin) : -1.0L;
        }
        logMean = std::log1p(distance / count);
        if (logMean == 0.0L)
            return std::numeric_limits<long double>::infinity();
    }
    return -kActivationOverGas / logMean - kKelvin;
}

}  // namespace

long double MeanKineticTemperature(std::span<const long double> celsius) {
    if (celsius.empty())
        throw LoggerError("There are no readings to compute statistics from.");
    return Mkt(celsius, false);
}

StatisticsNumbers ComputeStatistics(std::span<const long double> values, TemperatureUnit unit) {
    if (values.empty())
        throw LoggerError("There are no readings to compute statistics from.");
    StatisticsNumbers numbers;
    numbers.readings = static_cast<int>(values.size());
    std::vector<long double> kept;
    kept.reserve(values.size());
    long double sum = 0.0L;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const long double value = values[i];
        if (!IsPossibleTemperature(value, unit)) {
            numbers.leftOut.push_back({static_cast<int>(i + 1), value});
            continue;
        }
        // Maximum and minimum are taken as the grid holds them, in double precision.
        const auto shown = static_cast<double>(value);
        if (!numbers.maximum || shown > *numbers.maximum)
            numbers.maximum = shown, numbers.maximumAt = static_cast<int>(i);
        if (!numbers.minimum || shown < *numbers.minimum)
            numbers.minimum = shown, numbers.minimumAt = static_cast<int>(i);
        sum += value;
        kept.push_back(value);
    }
    numbers.used = static_cast<int>(kept.size());
    if (kept.empty())
        return numbers;
    numbers.mean = sum / static_cast<long double>(kept.size());

    // The MKT needs absolute temperatures: Fahrenheit values go to Celsius and back, so that the
    // MKT of a Fahrenheit download is the Celsius MKT of the same readings in °F.
    const bool fahrenheit = unit == TemperatureUnit::Fahrenheit;
    long double mkt = Mkt(kept, fahrenheit);
    if (fahrenheit)
        mkt = mkt * 1.8L + 32.0L;
    if (std::isfinite(mkt))
        numbers.mkt = mkt;
    return numbers;
}

StatisticsCaptions FormatStatistics(const StatisticsNumbers& numbers, const StatisticsInput& input,
                                    const LocaleSettings& locale) {
    StatisticsCaptions captions;
    captions.numbers = numbers;
    for (const StatisticsNumbers::LeftOut& reading : numbers.leftOut) {
        const long double value = reading.value;
        captions.impossible.push_back(
            {reading.number, std::isfinite(value) ? TemperatureText(value, locale)
                             : std::isnan(value)  ? std::string("not a number")
                             : value > 0          ? std::string("infinite")
                                                  : std::string("minus infinite")});
    }
    if (!captions.impossible.empty()) {
        const auto count = static_cast<int>(captions.impossible.size());
        captions.leftOut = IntText(count) + (count == 1 ? " reading" : " readings") +
                           " left out (not real temperatures)";
        captions.impossibleMessage = ImpossibleReadingsMessage(captions.impossible, input.unit);
    }

    captions.startDate = std::string(input.firstDate) + ",";
    captions.startTime = std::string(input.firstTime);
    captions.stopDate = std::string(input.lastDate) + ",";
    captions.stopTime = std::string(input.lastTime);
    captions.elapsed = ElapsedText(numbers.readings);

    auto text = [&locale](auto number) {
        return number ? StatisticText(*number, locale) : std::string(kNoStatistic);
    };
    captions.maximum = "   " + text(numbers.maximum);
    captions.minimum = "   " + text(numbers.minimum);
    captions.mkt = text(numbers.mkt);
    return captions;
}

StatisticsCaptions ComputeStatistics(const StatisticsInput& input, const LocaleSettings& locale) {
    return FormatStatistics(ComputeStatistics(input.values, input.unit), input, locale);
}

}  // namespace halvik
