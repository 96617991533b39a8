// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace halvik::test {

// A header report's data bytes as the card sends them (64 bytes, the rest zero).
struct HeaderFields {
    std::uint8_t pid[5] = {1, 2, 3, 4, 5};
    int hour = 9, minute = 0, second = 0, day = 7, month = 1, year = 14;
    int count = 3;
};

inline std::vector<std::uint8_t> HeaderBytes(const HeaderFields& f, std::size_t size = 64) {
    std::vector<std::uint8_t> bytes(size < 21 ? 21 : size, 0);
    for (int i = 0; i < 5; ++i)
        bytes[static_cast<std::size_t>(i)] = f.pid[i];
    bytes[5] = static_cast<std::uint8_t>(f.hour);
    bytes[6] = static_cast<std::uint8_t>(f.minute);
    bytes[7] = static_cast<std::uint8_t>(f.second);
    bytes[8] = static_cast<std::uint8_t>(f.day);
    bytes[9] = static_cast<std::uint8_t>(f.month);
    bytes[10] = static_cast<std::uint8_t>(f.year);
    bytes[19] = static_cast<std::uint8_t>(f.count >> 8);
    bytes[20] = static_cast<std::uint8_t>(f.count & 0xFF);
    bytes.resize(size);
    return bytes;
}

}  // namespace halvik::test
