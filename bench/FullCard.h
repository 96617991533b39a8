// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The full card the download benchmarks use: 14,400 readings of a cold store's cycle between 1
// and 7 °C in sixteenths of a degree, from 12 January 2026 08:00.

#include <cmath>
#include <vector>

#include "devicelink/sim/LoggerCard.h"
#include "logger/Header.h"

namespace halvik::bench {

inline LoggerCardImage FullCard() {
    std::vector<CardReading> readings;
    for (int i = 0; i < kMaxReadings; ++i)
        readings.push_back(EncodeReading(std::round((4.0 + 3.0 * std::sin(i / 40.0)) * 16) / 16));
    CardDateTime first;
    first.year = 2026;
    first.month = 1;
    first.day = 12;
    first.hour = 8;
    return LoggerCardImage::Make({1, 2, 3, 4, 5}, first, readings);
}

}  // namespace halvik::bench
