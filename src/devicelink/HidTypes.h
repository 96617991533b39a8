// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace halvik {

// The controller's error kind: raised when a device cannot be opened or identified while the
// device list is rebuilt, and by the constructors that only the controller may call.
class EControllerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Identity of a HID device as it reports it. Size is kept for callers that check it (always 12).
struct THidAttributes {
    uint32_t Size = 12;
    uint16_t VendorID = 0;
    uint16_t ProductID = 0;
    uint16_t VersionNumber = 0;
};

// The HID capability record (64 bytes). The report lengths count the report-ID byte; a device
// whose report descriptor cannot be had reports all fields 0.
struct THidCaps {
    uint16_t Usage = 0;
    uint16_t UsagePage = 0;
    uint16_t InputReportByteLength = 0;
    uint16_t OutputReportByteLength = 0;
    uint16_t FeatureReportByteLength = 0;
    uint16_t Reserved[17] = {};
    uint16_t NumberLinkCollectionNodes = 0;
    uint16_t NumberInputButtonCaps = 0;
    uint16_t NumberInputValueCaps = 0;
    uint16_t NumberInputDataIndices = 0;
    uint16_t NumberOutputButtonCaps = 0;
    uint16_t NumberOutputValueCaps = 0;
    uint16_t NumberOutputDataIndices = 0;
    uint16_t NumberFeatureButtonCaps = 0;
    uint16_t NumberFeatureValueCaps = 0;
    uint16_t NumberFeatureDataIndices = 0;
};
static_assert(sizeof(THidCaps) == 64, "THidCaps must stay a 64-byte record");

// What a device's report descriptor says, fetched once per device and kept until it is destroyed.
struct THidPreparsedData {
    std::vector<uint8_t> ReportDescriptor;  // the raw descriptor bytes (may be empty)
    THidCaps Caps;
    bool NumberedReports = false;  // true when the device puts a report ID in front of its reports
};

// Access rights for opening a device path.
enum class THidAccess {
    ReadWrite,  // reads, writes and queries
    None,       // attribute and descriptor queries only
    Read,
    Write,
};

// The standard HID device-interface class.
inline constexpr const char* kStandardHidGuid = "{4D1E55B2-F16F-11CF-88CB-001111000030}";

}  // namespace halvik
