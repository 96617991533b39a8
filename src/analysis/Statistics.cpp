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
        const long double celsius = fahrenheit ? (value - 32.0L) / 1.8L : value;
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

// The MKT in °C from the sum of `count` terms. When every term is 1 (all readings beyond about
// 10^20 degrees) the logarithm is 0 and the MKT is infinite.
long double MktFromSum(long double sum, std::size_t count) {
    const long double logMean = std::log(sum / static_cast<long double>(count));
    if (logMean == 0.0L)
        return std::numeric_limits<long double>::infinity();
    return -kActivationOverGas / logMean - kKelvin;
}

}  // namespace

long double MeanKineticTemperature(std::span<const long double> celsius) {
    if (celsius.empty())
        throw LoggerError("There are no readings to compute statistics from.");
    return MktFromSum(MktSum(celsius, false), celsius.size());
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
    const bool fahrenheit = input.unit == TemperatureUnit::Fahrenheit;
    long double mkt = MktFromSum(MktSum(input.values, fahrenheit), input.values.size());
    if (fahrenheit)
        mkt = mkt * 1.8L + 32.0L;
    captions.mkt = StatisticText(mkt, locale);
    return captions;
}

}  // namespace halvik
