// SPDX-License-Identifier: GPL-3.0-or-later
// The card-image loader on arbitrary files, and the card such an image makes taken through the
// whole download (header report, reading reports, DOWNLOAD, parse): every reading the card holds
// shows in the grid as the card model's own decoding of its two bytes says.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "devicelink/sim/LoggerCard.h"
#include "download/CardParse.h"
#include "logger/Header.h"
#include "logger/LogClock.h"
#include "logger/LoggerError.h"

using namespace halvik;

namespace {

void Download(const LoggerCardImage& image) {
    const LoggerCardModel model(image);
    const LocaleSettings locale;
    DownloadState state;
    CellStore grid;
    const std::uint8_t headerCommand = LoggerCardModel::kCommandHeader;
    const auto headerReports = model.Answer(&headerCommand, 1);
    FUZZ_CHECK(headerReports.size() == 1);
    const HeaderResult header =
        ApplyHeaderReport(state, grid, 0, headerReports[0].data(), headerReports[0].size(), locale);
    FUZZ_CHECK(header.accepted);

    const std::uint8_t readingsCommand = LoggerCardModel::kCommandReadings;
    for (const auto& report : model.Answer(&readingsCommand, 1)) {
        FUZZ_CHECK(report.size() == LoggerCardImage::kReportSize);
        AppendReadingBytes(state, report.data(), report.size());
    }
    StartLogClock(state);
    ParseResult result;
    const std::size_t held = image.ReadingCount();
    const std::size_t count = std::min<std::size_t>(image.AnnouncedCount(), kMaxReadings);
    // The last report is padded with zeros: a count beyond the stream but within that padding
    // still parses, the padding read as readings.
    const std::size_t received = (held + 31) / 32 * 32;
    try {
        ParseReadings(state, grid, TemperatureUnit::Celsius, locale, result);
        FUZZ_CHECK(count <= received);
    } catch (const LoggerError&) {
        FUZZ_CHECK(count > received);
    }
    const std::vector<std::uint8_t>& stream = image.Stream();
    for (std::size_t q = 0; q < result.points.size(); ++q) {
        const CardReading bytes =
            q < held ? CardReading{stream[2 * q], stream[2 * q + 1]} : CardReading{0, 0};
        const std::string expected =
            std::string(12, ' ') +
            TemperatureText(static_cast<long double>(DecodeCardReading(bytes)), locale);
        FUZZ_CHECK(grid.cell(3, static_cast<int>(q) + 1) == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const bool shortOrOdd =
        size < LoggerCardImage::kHeaderSize || (size - LoggerCardImage::kHeaderSize) % 2 != 0;
    for (bool requireCountMatch : {false, true}) {
        LoggerCardImage image;
        try {
            image = LoggerCardImage::FromBytes(bytes, requireCountMatch);
        } catch (const CardImageError& e) {
            FUZZ_CHECK(shortOrOdd || requireCountMatch);
            FUZZ_CHECK(std::string(e.what()).size() > 0);
            continue;
        }
        FUZZ_CHECK(!shortOrOdd);
        FUZZ_CHECK(image.Bytes() == bytes);
        FUZZ_CHECK(image.AnnouncedCount() == 256u * data[19] + data[20]);
        FUZZ_CHECK(!requireCountMatch || image.AnnouncedCount() == image.ReadingCount());
        // Grid rows cost about 20 µs each under the sanitizers: a header announcing thousands of
        // readings more than the file holds finds nothing new, and whole downloads of more than
        // 512 readings (the cold-store card has 1,440) would keep the run to a few dozen inputs a
        // second. Longer images still go through the loader above.
        if (!requireCountMatch && image.AnnouncedCount() <= image.ReadingCount() + 64 &&
            image.ReadingCount() <= 512)
            Download(image);
    }
    return 0;
}
