// SPDX-License-Identifier: GPL-3.0-or-later
// The header handler, the download handler, DOWNLOAD's log clock and the reading parse with its
// statistics on an arbitrary sequence of reports and button presses, and the statistics on
// arbitrary values.
//
// Input: records of [kind][length][length bytes]. (kind & 0x0F) % 7: 0 header report, 1 reading
// report, 2 DOWNLOAD (starts the log clock), 3 parse in °C, 4 parse in °F, 5 and 6 the statistics
// in °C and °F of the record's bytes read as doubles; kind bit 7 switches the locale to a
// comma-decimal one with a non-ASCII month name. A header's count keeps its high byte
// only with kind bit 6: a header of thousands of rows takes a quarter of a second under the
// sanitizers, and most inputs need no more than 511 rows to reach every branch.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "download/CardParse.h"
#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LogClock.h"
#include "logger/LoggerError.h"

using namespace halvik;

namespace {

LocaleSettings Comma() {
    LocaleSettings locale;
    locale.decimalSeparator = ",";
    locale.timeSeparator = ".";
    locale.shortMonthNames[2] = "M\u00E4r";
    return locale;
}

void CheckParse(const DownloadState& state, const CellStore& grid, const ParseResult& result,
                bool threw, int rowCountBefore) {
    // The parse reads RecordCountText, which only the header handler writes, as RecordCount.
    const int count = state.RecordCount;
    FUZZ_CHECK(count >= 0 && count <= kMaxReadings);
    const std::size_t complete = state.DownloadText.size() / 6;  // two groups per reading
    // The parse stops at the first reading whose bytes have not arrived, and only there.
    FUZZ_CHECK(threw == (complete < static_cast<std::size_t>(count)));
    const std::size_t shown = threw ? complete : static_cast<std::size_t>(count);
    FUZZ_CHECK(result.points.size() == shown);
    for (std::size_t q = 1; q <= shown; ++q) {
        const int row = static_cast<int>(q);
        FUZZ_CHECK(grid.cell(0, row) == IntText(row));
        const std::string& cell = grid.cell(3, row);
        FUZZ_CHECK(cell.size() > 12 && cell.compare(0, 12, std::string(12, ' ')) == 0);
    }
    if (threw) {
        FUZZ_CHECK(grid.rowCount() == rowCountBefore);
        FUZZ_CHECK(!result.hasStatistics);
        return;
    }
    FUZZ_CHECK(grid.rowCount() == count + 1);
    FUZZ_CHECK(result.hasStatistics == (count > 0));
    if (count > 0)
        FUZZ_CHECK(result.statistics.elapsed == ElapsedText(count));
}

// Any values, not only those a parse reads back from the grid: infinities, NaN, below absolute
// zero, beyond any number the grid can show.
void CheckStatistics(const std::uint8_t* bytes, std::size_t length, TemperatureUnit unit,
                     const LocaleSettings& locale) {
    std::vector<long double> values;
    for (std::size_t i = 0; i + sizeof(double) <= length; i += sizeof(double)) {
        double value;
        std::memcpy(&value, bytes + i, sizeof value);
        values.push_back(value);
    }
    StatisticsInput input;
    input.values = values;
    input.unit = unit;
    input.firstDate = "  07 JAN  14";
    input.firstTime = "    09:00";
    input.lastDate = "  07 JAN  14";
    input.lastTime = "    09:06";
    try {
        const StatisticsCaptions captions = ComputeStatistics(input, locale);
        FUZZ_CHECK(!values.empty());
        FUZZ_CHECK(!captions.maximum.empty() && !captions.minimum.empty() && !captions.mkt.empty());
        FUZZ_CHECK(captions.elapsed == ElapsedText(static_cast<int>(values.size())));
    } catch (const LoggerError&) {
        FUZZ_CHECK(values.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const LocaleSettings kPoint;
    static const LocaleSettings kComma = Comma();

    DownloadState state;
    CellStore grid;
    ParseResult result;
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::uint8_t kind = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const std::uint8_t* bytes = data + at + 2;
        at += 2 + length;
        const LocaleSettings& locale = (kind & 0x80) != 0 ? kComma : kPoint;

        switch ((kind & 0x0F) % 7) {
            case 0: {
                std::vector<std::uint8_t> report(bytes, bytes + length);
                if ((kind & 0x40) == 0 && report.size() > 19)
                    report[19] &= 0x01;
                const HeaderResult header =
                    ApplyHeaderReport(state, grid, 0, report.data(), report.size(), locale);
                FUZZ_CHECK(header.accepted == (length >= kHeaderDataLength));
                FUZZ_CHECK(header.accepted || !header.problem.empty());
                if (header.accepted) {
                    FUZZ_CHECK(state.RecordCount <= kMaxReadings);
                    FUZZ_CHECK(state.RecordCountText == IntText(state.RecordCount));
                }
                break;
            }
            case 1: {
                const std::size_t before = state.DownloadText.size();
                AppendReadingBytes(state, bytes, length);
                FUZZ_CHECK(state.DownloadText.size() == before + 3 * length);
                break;
            }
            case 2:
                try {
                    StartLogClock(state);
                } catch (const LoggerError&) {
                    // No header yet: nothing to start from.
                    FUZZ_CHECK(state.RecordCountText.empty());
                }
                break;
            case 5:
            case 6:
                CheckStatistics(
                    bytes, length,
                    (kind & 0x0F) % 7 == 5 ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit,
                    locale);
                break;
            default: {
                const TemperatureUnit unit =
                    (kind & 0x0F) % 7 == 3 ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
                const int rowCountBefore = grid.rowCount();
                bool threw = false;
                try {
                    ParseReadings(state, grid, unit, locale, result);
                } catch (const LoggerError&) {
                    threw = true;
                }
                if (state.RecordCountText.empty()) {
                    FUZZ_CHECK(threw);  // no header: "'' is not a valid integer value"
                    break;
                }
                CheckParse(state, grid, result, threw, rowCountBefore);
                break;
            }
        }
    }
    return 0;
}
