// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "HeaderBytes.h"
#include "logger/Header.h"
#include "records/Record.h"

namespace halvik::test {

// A download of `count` readings from a card whose first reading is 2026-01-12 08:00 (unless
// `fields` says otherwise): header report bytes, readings packed in 64-byte reports with zero
// padding, kept at 2026-12-10 15:59:34 UTC.
inline Record SampleRecord(
    int count,
    HeaderFields fields = {
        .hour = 8, .minute = 0, .second = 0, .day = 12, .month = 1, .year = 26, .count = -1}) {
    using namespace std::chrono;
    if (fields.count < 0)
        fields.count = count;
    Record record;
    record.header = HeaderBytes(fields);
    for (int q = 0; q < count; ++q) {
        record.readings.push_back(static_cast<std::uint8_t>(0x80 + q % 3));  // 2..8 °C or so
        record.readings.push_back(static_cast<std::uint8_t>(q * 7 % 256));
    }
    record.readings.resize((record.readings.size() + 63) / 64 * 64, 0);
    record.downloadedAt = sys_days(2026y / December / 10) + 15h + 59min + 34s;
    record.host = "fridge-pc";
    record.programVersion = "0.1";
    record.unit = TemperatureUnit::Celsius;
    record.complete = true;
    return record;
}

// SampleRecord of card 01 02 03 04 `pid` with its first reading on `day` January 2026 at `hour`.
inline Record CardSample(int count, std::uint8_t pid, int day, int hour = 8) {
    HeaderFields fields{
        .hour = hour, .minute = 0, .second = 0, .day = day, .month = 1, .year = 26, .count = count};
    fields.pid[4] = pid;
    return SampleRecord(count, fields);
}

}  // namespace halvik::test
