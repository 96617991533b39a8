// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "HeaderBytes.h"
#include "TestLocales.h"
#include "download/CardParse.h"
#include "logger/LogClock.h"

namespace halvik::test {

// A download as the window runs it: header report, DOWNLOAD, readings in 64-byte reports, parse.
struct Download {
    DownloadState state;
    CellStore grid;
    LocaleSettings locale = English();
    ParseResult result;

    HeaderResult Header(const HeaderFields& f) {
        auto bytes = HeaderBytes(f);
        return ApplyHeaderReport(state, grid, 0, bytes.data(), bytes.size(), locale);
    }

    // The card's answer to command 11: the reading bytes packed into 64-byte reports, the last
    // one padded with zeros.
    void Send(const std::vector<std::uint8_t>& readingBytes) {
        for (std::size_t at = 0; at < readingBytes.size(); at += 64) {
            std::vector<std::uint8_t> report(64, 0);
            std::copy(readingBytes.begin() + static_cast<std::ptrdiff_t>(at),
                      readingBytes.begin() +
                          static_cast<std::ptrdiff_t>(std::min(at + 64, readingBytes.size())),
                      report.begin());
            AppendReadingBytes(state, report.data(), report.size());
        }
    }

    void Parse(TemperatureUnit unit) {
        StartLogClock(state);
        ParseReadings(state, grid, unit, locale, result);
    }

    std::vector<std::string> Labels() const {
        std::vector<std::string> labels;
        for (const ChartPoint& p : result.points)
            labels.push_back(p.label);
        return labels;
    }
    std::vector<double> Values() const {
        std::vector<double> values;
        for (const ChartPoint& p : result.points)
            values.push_back(p.value);
        return values;
    }
};

}  // namespace halvik::test
