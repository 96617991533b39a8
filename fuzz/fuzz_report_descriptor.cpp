// SPDX-License-Identifier: GPL-3.0-or-later
// The report-descriptor parser on arbitrary descriptors: it never reads past the descriptor, and
// a descriptor it rejects leaves nothing behind in the summary or the capability record.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "devicelink/linux/ReportDescriptor.h"

using namespace halvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so that ASan sees a read one past the end.
    const std::vector<std::uint8_t> descriptor(data, data + size);
    const ReportDescriptorSummary s = ParseReportDescriptor(descriptor.data(), descriptor.size());
    const THidCaps caps = CapsFromReportDescriptor(s);
    if (!s.valid) {
        FUZZ_CHECK(!s.numbered && s.inputLength == 0 && s.outputLength == 0 &&
                   s.featureLength == 0 && s.usagePage == 0 && s.usage == 0 && s.collections == 0);
        const THidCaps zero{};
        FUZZ_CHECK(std::memcmp(&caps, &zero, sizeof caps) == 0);
        return 0;
    }
    FUZZ_CHECK(caps.InputReportByteLength == s.inputLength);
    FUZZ_CHECK(caps.OutputReportByteLength == s.outputLength);
    FUZZ_CHECK(caps.FeatureReportByteLength == s.featureLength);
    FUZZ_CHECK(caps.NumberLinkCollectionNodes == s.collections && s.collections > 0);
    // The same bytes give the same summary.
    const ReportDescriptorSummary again = ParseReportDescriptor(descriptor);
    FUZZ_CHECK(again.valid && again.numbered == s.numbered && again.inputLength == s.inputLength &&
               again.outputLength == s.outputLength && again.featureLength == s.featureLength &&
               again.usagePage == s.usagePage && again.usage == s.usage &&
               again.collections == s.collections);
    return 0;
}
