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

}  // namespace

std::string StatisticText(long double value, const LocaleSettings& locale) {
    return FixedOneDecimalText(value, 3, locale.decimalSeparator);
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

long double MeanKineticTemperature(std::span<const long double> celsius) {
    if (celsius.empty())
        throw LoggerError("There are no readings to compute statistics from.");
    // Readings far outside any temperature range (a damaged reading can decode to 10^38 or to
    // absolute zero) must not divide by zero: at absolute zero a term is 0, and when every
    // term is 1 (all readings beyond about 10^20) the mean kinetic temperature is infinite.
    long double sum = 0.0L;
    for (long double t : celsius) {
        const long double kelvin = t + kKelvin;
        if (kelvin != 0.0L)
            sum += std::exp(-kActivationOverGas / kelvin);
    }
    const long double logMean = std::log(sum / static_cast<long double>(celsius.size()));
    if (logMean == 0.0L)
        return std::numeric_limits<long double>::infinity();
    return -kActivationOverGas / logMean - kKelvin;
}

StatisticsCaptions ComputeStatistics(const StatisticsInput& input, const LocaleSettings& locale) {
    if (input.values.empty())
        throw LoggerError("There are no readings to compute statistics from.");

    StatisticsCaptions captions;
    // Maximum and minimum are taken as the grid holds them, in double precision.
    double maximum = static_cast<double>(input.values.front());
    double minimum = maximum;
    for (long double value : input.values) {
        maximum = std::max(maximum, static_cast<double>(value));
        minimum = std::min(minimum, static_cast<double>(value));
    }
    captions.maximum = "   " + StatisticText(maximum, locale);
    captions.minimum = "   " + StatisticText(minimum, locale);

    captions.startDate = std::string(input.firstDate) + ",";
    captions.startTime = std::string(input.firstTime);
    captions.stopDate = std::string(input.lastDate) + ",";
    captions.stopTime = std::string(input.lastTime);

    captions.elapsed = ElapsedText(static_cast<int>(input.values.size()));

    // The MKT needs absolute temperatures: Fahrenheit values go to Celsius and back, so that the
    // MKT of a Fahrenheit download is the Celsius MKT of the same readings in °F.
    long double mkt;
    if (input.unit == TemperatureUnit::Fahrenheit) {
        std::vector<long double> celsius;
        celsius.reserve(input.values.size());
        for (long double f : input.values)
            celsius.push_back((f - 32.0L) / 1.8L);
        mkt = MeanKineticTemperature(celsius) * 1.8L + 32.0L;
    } else {
        mkt = MeanKineticTemperature(input.values);
    }
    captions.mkt = StatisticText(mkt, locale);
    return captions;
}

}  // namespace halvik
