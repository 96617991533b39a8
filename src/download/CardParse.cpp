// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/CardParse.h"

#include <algorithm>
#include <string_view>

#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LogClock.h"
#include "logger/LoggerError.h"

namespace halvik {

namespace {

constexpr std::string_view kTemperatureIndent = "            ";  // twelve blanks

// Group b of DownloadText: the characters at 3b..3b+2, fewer or none where the text ends.
std::string_view Group(const std::string& downloadText, std::size_t b) {
    const std::size_t start = 3 * b;
    if (start >= downloadText.size())
        return {};
    return std::string_view(downloadText).substr(start, 3);
}

int ByteOfGroup(std::string_view group) {
    const int value = TextToInt(group);
    if (value < 0 || value > 255)
        throw LoggerError("'" + std::string(group) + "' is not a valid byte value");
    return value;
}

}  // namespace

std::string TemperatureCaption(TemperatureUnit unit) {
    return std::string("Temperature (") + UnitText(unit) + ")";
}

void WriteGridCaptions(CellStore& grid, TemperatureUnit unit) {
    grid.setCell(0, 0, " Points");
    grid.setCell(1, 0, "       Date");
    grid.setCell(2, 0, "    Time");
    grid.setCell(3, 0, TemperatureCaption(unit));
}

HeaderResult ApplyHeaderReport(DownloadState& state, CellStore& grid, std::uint8_t /*reportId*/,
                               const std::uint8_t* data, std::size_t size,
                               const LocaleSettings& locale) {
    HeaderResult result;
    const HeaderOutcome outcome = ReadHeader(state, data, size);
    result.accepted = outcome.accepted;
    result.problem = outcome.problem;
    if (!outcome.accepted)
        return result;

    result.pidLabel = state.PidText;
    result.dataPointsLabel = "   " + state.RecordCountText;
    grid.setCell(2, 1, FirstRowTimeText(state));
    grid.setCell(1, 1, FirstRowDateText(state));
    if (state.RecordCount >= 2) {
        TextCalendar calendar(state);
        for (int row = 2; row <= state.RecordCount; ++row) {
            calendar.Step();
            grid.setCell(2, row, calendar.TimeText(locale));
            grid.setCell(1, row, calendar.DateText());
        }
        state.StopYearText = calendar.StopYearText();
    }
    return result;
}

void ParseReadings(DownloadState& state, CellStore& grid, TemperatureUnit unit,
                   const LocaleSettings& locale, ParseResult& result, int limit) {
    result.points.clear();
    result.hasStatistics = false;
    const int count =
        std::min(std::clamp(TextToInt(state.RecordCountText), 0, kMaxReadings), std::max(limit, 0));
    const bool fahrenheit = unit == TemperatureUnit::Fahrenheit;
    result.points.reserve(static_cast<std::size_t>(count));
    std::vector<long double> values;
    values.reserve(static_cast<std::size_t>(count));

    for (int q = 1; q <= count; ++q) {
        const auto b = static_cast<std::size_t>(2 * q - 2);
        const int exponent = ByteOfGroup(Group(state.DownloadText, b));
        const int signAndMantissa = ByteOfGroup(Group(state.DownloadText, b + 1));
        const long double celsius =
            DecodeReading(exponent, static_cast<std::uint8_t>(signAndMantissa));

        std::string cell;
        cell.reserve(kTemperatureIndent.size() + 8);
        cell += kTemperatureIndent;
        cell += TemperatureText(fahrenheit ? FahrenheitReading(celsius) : celsius, locale);
        grid.setCell(3, q, std::move(cell));
        grid.setCell(0, q, IntText(q));
        StepLogTime(state);

        // Everything after this point works on the value as the grid shows it.
        const long double shown = TextToNumber(grid.cell(3, q), locale.decimalSeparator);
        values.push_back(shown);
        result.points.push_back({static_cast<double>(shown), TimestampLabel(state, locale)});
    }
    grid.setRowCount(count + 1);
    if (count == 0)
        return;

    StatisticsInput input;
    input.values = values;
    input.unit = unit;
    input.firstDate = grid.cell(1, 1);
    input.firstTime = grid.cell(2, 1);
    input.lastDate = grid.cell(1, count);
    input.lastTime = grid.cell(2, count);
    result.statistics = ComputeStatistics(input, locale);
    result.hasStatistics = true;
}

}  // namespace halvik
