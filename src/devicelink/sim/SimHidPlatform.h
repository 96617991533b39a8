// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devicelink/HidPlatform.h"
#include "logger/CardIdentity.h"

namespace halvik {

// An in-memory platform for tests: devices a test plugs, unplugs, makes unopenable and feeds
// input reports to. It behaves like Linux hidraw where the device link can tell: input reports
// queue on the device's open file (shared by every handle of the device that can read, up to a
// capacity, then new ones are dropped) and are read back as the report-ID byte (0 for a device
// that does not number its reports) followed by the report; reports that arrive while no such
// handle is open are lost; every plug and unplug gives one change notice on a pipe.
// Thread-safe: the test thread, the main thread and reader threads may call it at once.
class SimHidPlatform : public IHidPlatform {
  public:
    struct DeviceSpec {
        uint16_t VendorID =
            kCardVendorId;  // the logger card's identity unless a test says otherwise
        uint16_t ProductID = kCardProductId;
        uint16_t VersionNumber = 0x0100;
        uint16_t InputReportByteLength = 65;  // counting the report-ID byte
        uint16_t OutputReportByteLength = 65;
        uint16_t FeatureReportByteLength = 0;
        bool NumberedReports = false;
        std::string Manufacturer;
        std::string Product;
        std::string ClassDescr = "HIDClass";
    };

    SimHidPlatform();
    ~SimHidPlatform() override;

    // The whole HID service (false: the controller stays inert) and the listing of interfaces.
    void SetAvailable(bool available);
    void SetListingRefused(bool refused);

    // Plugs a device in (appended to the platform's order) and returns its DeviceID.
    uint32_t Plug(const DeviceSpec& deviceSpec);
    // Unplugs it: open handles see the device gone (reads and writes fail with ENODEV).
    void Unplug(uint32_t deviceId);
    bool IsPresent(uint32_t deviceId) const;
    std::string DevicePath(uint32_t deviceId) const;

    // Faults. Opening for reading and writing / without access rights fails when disallowed; a
    // device that cannot be identified fails its attribute query; one without a descriptor has
    // no preparsed data; a device set to vanish is unplugged (with its notice) the next time
    // someone tries to open it, so the open fails.
    void SetOpenable(uint32_t deviceId, bool readWrite, bool noAccess);
    void SetIdentifiable(uint32_t deviceId, bool identifiable);
    void SetDescriptorAvailable(uint32_t deviceId, bool available);
    void SetVanishOnNextOpen(uint32_t deviceId);
    void SetWriteAccepted(uint32_t deviceId, bool accepted);
    // Reads on the device fail with `error` (errno-style) while it is set, 0 for none: a device
    // that stays plugged in but stops answering.
    void SetReadError(uint32_t deviceId, int error);

    // Input: `report` as the device sends it (for a numbered device byte 0 is the report ID).
    // False when it was lost (no handle that can read is open, or the queue is full).
    bool FeedInput(uint32_t deviceId, const std::vector<uint8_t>& report);
    // The same, but a full queue is no loss: the report is not taken and can be sent again.
    bool FeedInputIfRoom(uint32_t deviceId, const std::vector<uint8_t>& report);
    // A source the platform pulls the device's next report from whenever a read finds the
    // queue empty: a device that sends as fast as the host reads. Return false when it has
    // nothing to send. Called on the reading thread with the platform's lock held; it must not
    // call back into the platform.
    void SetInputSource(uint32_t deviceId, std::function<bool(std::vector<uint8_t>&)> source);
    void SetQueueCapacity(std::size_t reports);
    std::size_t QueuedInput(uint32_t deviceId) const;
    std::size_t DroppedInput(uint32_t deviceId) const;

    // Output: every accepted write, in order, as written (report-ID byte first). The handler runs
    // on the writing thread after the write was taken, without the platform's lock held.
    std::vector<std::vector<uint8_t>> Written(uint32_t deviceId) const;
    void SetOutputHandler(uint32_t deviceId,
                          std::function<void(const std::vector<uint8_t>& report)> handler);

    // Number of open handles on the device, of any access.
    int OpenHandleCount(uint32_t deviceId) const;
    // Number of reads under way on the device right now.
    int ReadsInProgress(uint32_t deviceId) const;

    // A notice that changes no HID device (another kind of device came or went).
    void NotifyOtherChange();
    std::size_t PendingNotices() const;

    // IHidPlatform
    bool IsAvailable() const override;
    bool ListInterfaces(std::vector<HidInterfaceRecord>& interfaces) override;
    std::unique_ptr<IHidHandle> Open(const std::string& path, THidAccess access,
                                     int& error) override;
    int ChangeNotificationFd() const override;
    Notice TakeChangeNotification() override;

  private:
    class Handle;
    struct Device;
    struct Shared;
    void PushNotice(char kind);
    bool Feed(uint32_t deviceId, const std::vector<uint8_t>& report, bool countLoss);
    std::shared_ptr<Shared> S;
};

}  // namespace halvik
