// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace halvik {

// The output report the card is driven with. Only LEDBits, the command, is ever set; the other
// bytes are always 0.
struct pic18Report {
    std::uint8_t ReportID = 0;
    std::uint8_t LEDBits = 0;  // the command
    std::uint8_t dakika = 0;   // minute (never set)
    std::uint8_t saniye = 0;   // second (never set)
    std::uint8_t gunn = 0;     // day (never set)
    std::uint8_t ay = 0;       // month (never set)
    std::uint8_t sene = 0;     // year (never set)
    std::uint8_t kontrol = 0;  // control (never set)
};
static_assert(sizeof(pic18Report) == 8);

inline constexpr std::uint8_t kCommandSendHeader = 22;    // answered by one header report
inline constexpr std::uint8_t kCommandSendReadings = 11;  // answered by the readings

// The bytes written for a command: the 8 record bytes, then zeros up to `outputReportLength`
// (the card's Caps.OutputReportByteLength, which counts the report ID byte); when the length is
// below 8, the first `outputReportLength` record bytes. Written in one call.
std::vector<std::uint8_t> CommandBytes(const pic18Report& report, std::size_t outputReportLength);

// The same for a record whose only set byte is `command` (kCommandSendHeader or
// kCommandSendReadings).
std::vector<std::uint8_t> CommandBytes(std::uint8_t command, std::size_t outputReportLength);

}  // namespace halvik
