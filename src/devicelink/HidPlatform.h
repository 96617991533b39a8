// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devicelink/HidTypes.h"

namespace halvik {

// The platform's description of one present HID device interface. DeviceID identifies the
// interface across rebuilds for as long as it stays plugged in (a re-plugged device gets a new
// one); DevicePath opens it. The other fields are snapshots of the device's properties; a
// platform fills those it has and leaves the rest empty or 0.
struct HidInterfaceRecord {
    uint32_t DeviceID = 0;
    std::string DevicePath;
    std::string InstanceId;  // the platform's own identity text (the hidraw syspath on Linux)
    uint32_t Capabilities = 0;
    std::string ClassDescr;
    std::string ClassGUID;
    std::vector<std::string> CompatibleIDs;
    uint32_t ConfigFlags = 0;
    std::string DeviceDescr;
    std::string Driver;
    std::string FriendlyName;
    std::vector<std::string> HardwareID;
    std::vector<std::string> LowerFilters;
    std::string Mfg;
    std::vector<std::string> UpperFilters;
    std::string Address;
    uint32_t BusNumber = 0;
    std::string BusType;
    std::string Characteristics;
    uint32_t DevType = 0;
    std::string EnumeratorName;
    uint32_t Exclusive = 0;
    uint32_t LegacyBusType = 0;
    std::string LocationInfo;
    std::string PhysDevObjName;
    std::string SecuritySDS;
    std::string Service;
    uint32_t UINumber = 0;
    std::string UINumberFormat;
};

// Outcome of one wait for an input report.
struct HidReadResult {
    enum Status {
        Data,       // a report arrived: `bytes` of the buffer are filled (0 is possible)
        Timeout,    // the time ran out; nothing was read, the device may still send
        Cancelled,  // CancelRead() was called
        Failed,     // the read failed; `error` is the errno-style code (ENODEV once unplugged)
    };
    Status status = Failed;
    uint32_t bytes = 0;
    int error = 0;
};

// One open handle on a device path. Reads arrive as the report-ID byte (0 for a device that
// does not number its reports) followed by the report; writes take the same form.
// A handle is used by one thread at a time, except CancelRead(), which any thread may call.
class IHidHandle {
  public:
    virtual ~IHidHandle() = default;  // closes the handle

    virtual bool GetAttributes(THidAttributes& attributes) = 0;
    virtual bool GetPreparsedData(THidPreparsedData& data) = 0;

    // Writes `size` bytes as one output report; true when the system took it, with the count it
    // reports in `written`. `error` receives the errno-style code of a failure.
    virtual bool Write(const uint8_t* report, uint32_t size, uint32_t& written, int& error) = 0;

    // Waits up to `timeoutMs` (negative: no limit) for one input report and reads it into
    // `buffer` (at most `capacity` bytes, a longer report is cut).
    virtual HidReadResult Read(uint8_t* buffer, uint32_t capacity, int timeoutMs) = 0;
    // Makes a Read under way, or the next one, return Cancelled at once. Any thread.
    virtual void CancelRead() = 0;

    // The device's manufacturer and product strings (UTF-8); false when absent.
    virtual bool GetManufacturerString(std::string& text) = 0;
    virtual bool GetProductString(std::string& text) = 0;
};

// The operating system as the device link sees it. Every call comes from the main thread, except
// Open and the handle calls, which a reader thread also makes for its own read handle.
class IHidPlatform {
  public:
    virtual ~IHidPlatform() = default;

    // False when the HID service cannot be reached: the controller then stays inert.
    virtual bool IsAvailable() const = 0;
    // The device-interface class the platform lists (a GUID text).
    virtual std::string InterfaceClass() const { return kStandardHidGuid; }

    // Lists the present HID interfaces, in the platform's order. False when the platform
    // refused the listing (the caller then takes the set as empty).
    virtual bool ListInterfaces(std::vector<HidInterfaceRecord>& interfaces) = 0;

    // Opens a device path; nullptr on failure with the errno-style code in `error`.
    virtual std::unique_ptr<IHidHandle> Open(const std::string& path, THidAccess access,
                                             int& error) = 0;

    // The change notification: an fd that becomes readable when the device set may have changed
    // (-1 when there is none), and the call that takes one pending notice from it without
    // blocking: DeviceSetChanged for an added or removed device, Other for anything else, None
    // when nothing is waiting.
    enum class Notice { None, DeviceSetChanged, Other };
    virtual int ChangeNotificationFd() const = 0;
    virtual Notice TakeChangeNotification() = 0;
};

}  // namespace halvik
