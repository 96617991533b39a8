// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "devicelink/HidTypes.h"

namespace halvik {

// What a HID report descriptor says about the device's reports, as the device link needs it:
// the longest input, output and feature report (in bytes, counting the report-ID byte, 0 when
// the device has no report of that kind), whether reports are numbered, and the usage of the
// first top-level collection. `valid` is false for a truncated or malformed descriptor, and then
// every length is 0.
struct ReportDescriptorSummary {
    bool valid = false;
    bool numbered = false;
    uint16_t inputLength = 0;
    uint16_t outputLength = 0;
    uint16_t featureLength = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t collections = 0;
};

ReportDescriptorSummary ParseReportDescriptor(const uint8_t* data, std::size_t size);
inline ReportDescriptorSummary ParseReportDescriptor(const std::vector<uint8_t>& data) {
    return ParseReportDescriptor(data.data(), data.size());
}

// The capability record for a descriptor (all 0 when it is not valid).
THidCaps CapsFromReportDescriptor(const ReportDescriptorSummary& summary);

}  // namespace halvik
