// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/linux/ReportDescriptor.h"

#include <algorithm>
#include <map>

namespace halvik {

namespace {

// The global items that decide report sizes. Push and Pop save and restore all of them,
// the report ID included.
struct Globals {
    uint32_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

constexpr std::size_t kMaxPushDepth = 32;
constexpr uint64_t kBitLimit = uint64_t{1} << 40;  // far beyond any 16-bit byte length

}  // namespace

ReportDescriptorSummary ParseReportDescriptor(const uint8_t* data, std::size_t size) {
    ReportDescriptorSummary summary;
    const ReportDescriptorSummary invalid;
    Globals globals;
    std::vector<Globals> stack;
    std::map<uint32_t, uint64_t> bits[3];  // input, output, feature; by report ID
    uint32_t firstUsage = 0;
    bool haveUsage = false;
    int depth = 0;
    bool topLevelSeen = false;

    std::size_t i = 0;
    while (i < size) {
        const uint8_t prefix = data[i];
        if (prefix == 0xFE) {  // long item: FE, data size, tag, data
            if (i + 2 >= size)
                return invalid;
            const std::size_t length = 3 + std::size_t{data[i + 1]};
            if (i + length > size)
                return invalid;
            i += length;
            continue;
        }
        std::size_t dataSize = prefix & 3;
        if (dataSize == 3)
            dataSize = 4;
        if (i + 1 + dataSize > size)
            return invalid;
        uint32_t value = 0;
        for (std::size_t k = 0; k < dataSize; ++k) {
            value |= static_cast<uint32_t>(data[i + 1 + k]) << (8 * k);
        }
        const unsigned type = (prefix >> 2) & 3;
        const unsigned tag = prefix >> 4;
        i += 1 + dataSize;

        if (type == 0) {  // main
            int kind = -1;
            if (tag == 8)
                kind = 0;  // Input
            if (tag == 9)
                kind = 1;  // Output
            if (tag == 11)
                kind = 2;  // Feature
            if (kind >= 0) {
                uint64_t& total = bits[kind][globals.reportId];
                total += uint64_t{globals.reportSize} * globals.reportCount;
                if (total > kBitLimit)
                    return invalid;
            } else if (tag == 10) {  // Collection
                if (depth == 0 && !topLevelSeen) {
                    topLevelSeen = true;
                    uint32_t page = globals.usagePage;
                    uint32_t usage = firstUsage;
                    if (haveUsage && (firstUsage >> 16) != 0) {  // an extended usage
                        page = firstUsage >> 16;
                        usage = firstUsage & 0xFFFF;
                    }
                    summary.usagePage = static_cast<uint16_t>(page);
                    summary.usage = static_cast<uint16_t>(usage);
                }
                ++depth;
                if (summary.collections < 0xFFFF)
                    ++summary.collections;
            } else if (tag == 12) {  // End Collection
                if (depth == 0)
                    return invalid;
                --depth;
            } else {
                return invalid;
            }
            haveUsage = false;  // local items end with every main item
            firstUsage = 0;
        } else if (type == 1) {  // global
            switch (tag) {
                case 0:
                    globals.usagePage = value;
                    break;
                case 7:
                    globals.reportSize = value;
                    break;
                case 8:
                    if (value == 0 || value > 255)
                        return invalid;
                    globals.reportId = value;
                    summary.numbered = true;
                    break;
                case 9:
                    globals.reportCount = value;
                    break;
                case 10:
                    if (stack.size() >= kMaxPushDepth)
                        return invalid;
                    stack.push_back(globals);
                    break;
                case 11:
                    if (stack.empty())
                        return invalid;
                    globals = stack.back();
                    stack.pop_back();
                    break;
                default:
                    break;  // logical and physical ranges, units: no effect on sizes
            }
        } else if (type == 2) {  // local
            if (tag == 0 && !haveUsage) {
                haveUsage = true;
                firstUsage = dataSize == 4 ? value : (value & 0xFFFF);
            }
        } else {
            return invalid;  // reserved item type
        }
    }
    // Cut off inside a collection.
    if (depth != 0)
        return invalid;
    // Every device has a top-level collection; without one the descriptor says nothing.
    if (summary.collections == 0)
        return invalid;

    uint16_t* lengths[3] = {&summary.inputLength, &summary.outputLength, &summary.featureLength};
    for (int kind = 0; kind < 3; ++kind) {
        uint64_t longest = 0;
        for (const auto& [id, total] : bits[kind])
            longest = std::max(longest, total);
        if (longest == 0)
            continue;
        const uint64_t bytes = (longest + 7) / 8 + 1;  // whole bytes, then the report-ID byte
        if (bytes > 0xFFFF)
            return invalid;
        *lengths[kind] = static_cast<uint16_t>(bytes);
    }
    summary.valid = true;
    return summary;
}

THidCaps CapsFromReportDescriptor(const ReportDescriptorSummary& summary) {
    THidCaps caps;
    if (!summary.valid)
        return caps;
    caps.Usage = summary.usage;
    caps.UsagePage = summary.usagePage;
    caps.InputReportByteLength = summary.inputLength;
    caps.OutputReportByteLength = summary.outputLength;
    caps.FeatureReportByteLength = summary.featureLength;
    caps.NumberLinkCollectionNodes = summary.collections;
    return caps;
}

}  // namespace halvik
