// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "logger/LocaleSettings.h"
#include "logger/Reading.h"

namespace halvik {

// A reading that cannot be a real temperature: its number (1 for the first reading) and its
// temperature text as the grid shows it, without the leading blanks.
struct ImpossibleReading {
    int number = 0;
    std::string text;
    bool operator==(const ImpossibleReading&) const = default;
};

// The statistics of one download's readings, as numbers in the download's unit.
struct StatisticsNumbers {
    int readings = 0;  // all of them; the elapsed time counts every one
    // The readings that are real temperatures (IsPossibleTemperature): maximum, minimum, mean
    // and MKT are over these. The others, by number (1 for the first reading) and value.
    int used = 0;
    struct LeftOut {
        int number = 0;
        long double value = 0;
        bool operator==(const LeftOut&) const = default;
    };
    std::vector<LeftOut> leftOut;
    // Nothing when no reading is used. Maximum and minimum are values as the grid holds them
    // (double precision), with the index (0 for the first reading) of their first occurrence.
    std::optional<double> maximum, minimum;
    int maximumAt = -1, minimumAt = -1;
    std::optional<long double> mean;
    // Nothing also when the MKT is not a finite number (readings near the format's infinity).
    std::optional<long double> mkt;
};

// The statistics panel's captions after a parse, and the numbers they were formatted from.
struct StatisticsCaptions {
    std::string maximum;    // Label12: three blanks + text, "   30.0"
    std::string minimum;    // Label13: three blanks + text
    std::string mkt;        // Label14: text alone, "25.9"
    std::string startDate;  // Label7: Date of row 1 + ",", "  07 JAN  14,"
    std::string startTime;  // Label8: Time of row 1, "    09:00"
    std::string stopDate;   // Label1: Date of row N + ","
    std::string stopTime;   // Label11: Time of row N
    std::string elapsed;    // Label19: "0 Hour(s),  12 Minute(s)"
    // Empty when every reading is a possible temperature; otherwise "2 readings left out (not real
    // temperatures)"
    // (maximum, minimum and MKT are then over the other readings, or "n/a" when none is left).
    std::string leftOut;
    // The readings left out, in reading order, and the sentence that tells the user about them
    // (empty when there are none).
    std::vector<ImpossibleReading> impossible;
    std::string impossibleMessage;
    StatisticsNumbers numbers;
};

// Whether a value (in `unit`, as the grid shows it) can be a real temperature: a finite number
// within the range of the card's reading format (its exponent byte 255 is the format's
// infinity, about 3.4 * 10^38 °C and up) and not below absolute zero (-273.15 °C, -459.67 °F).
bool IsPossibleTemperature(long double value, TemperatureUnit unit);

// What the user is told once per download about readings that cannot be real temperatures:
// how many, and the number and value of each (the first ten, then how many more). Empty for none.
std::string ImpossibleReadingsMessage(const std::vector<ImpossibleReading>& readings,
                                      TemperatureUnit unit);

// Maximum, minimum and MKT text: rounded at one decimal or three significant digits, whichever
// keeps fewer digits ("25.9", "100.0" for 100.4, "159.0" for 158.7).
std::string StatisticText(long double value, const LocaleSettings& locale);

// A statistic as the CLI, the CSV and the record report give it: rounded at one decimal whatever
// its size ("100.4", "121.5"), so that a maximum never reads below a reading it was taken from.
std::string OneDecimalText(long double value, const LocaleSettings& locale);

// (count - 1) * 6 minutes as "H Hour(s),  M Minute(s)", or with "D Day(s),  " before it when a
// day or more: 1 gives "0 Hour(s),  0 Minute(s)", 241 gives "1 Day(s),  0 Hour(s),  0 Minute(s)".
std::string ElapsedText(int readingCount);

// Mean kinetic temperature in °C (activation energy 83.144 kJ/mol, so dH/R = 10000 K) of °C
// values, in extended precision: -10000 / ln(sum(exp(-10000 / (t + 273.15))) / n) - 273.15.
// Where every term rounds to 1 (readings beyond about 10^23 degrees) the logarithm is worked out
// from the terms' distances to 1 instead, so the result stays a finite number.
// Throws LoggerError for no values.
long double MeanKineticTemperature(std::span<const long double> celsius);

// What the statistics read from the grid after a parse of N >= 1 readings.
struct StatisticsInput {
    // Column 3 of rows 1..N read back as numbers, in the download's unit. Values that cannot be
    // real temperatures (IsPossibleTemperature) are left out of maximum, minimum and MKT, and
    // listed in the captions' `impossible`.
    std::span<const long double> values;
    // The MKT needs absolute temperatures: for a Fahrenheit download it is computed from the
    // values converted to °C and the result is converted back to °F.
    TemperatureUnit unit = TemperatureUnit::Celsius;
    std::string_view firstDate, firstTime;  // columns 1 and 2 of row 1
    std::string_view lastDate, lastTime;    // columns 1 and 2 of row N
};

// The numbers of `values` (the grid's column 3 read back, in `unit`). Throws LoggerError for no
// values. The MKT of a Fahrenheit download is the Celsius MKT of the values converted, in °F.
StatisticsNumbers ComputeStatistics(std::span<const long double> values, TemperatureUnit unit);

// The captions of `numbers` for the window and the Data Report: maximum, minimum and MKT with
// StatisticText, "n/a" where there is no number.
StatisticsCaptions FormatStatistics(const StatisticsNumbers& numbers, const StatisticsInput& input,
                                    const LocaleSettings& locale);

// ComputeStatistics of the input's values, then FormatStatistics. Throws LoggerError for no
// values.
StatisticsCaptions ComputeStatistics(const StatisticsInput& input, const LocaleSettings& locale);

}  // namespace halvik
