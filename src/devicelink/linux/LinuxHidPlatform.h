// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "devicelink/HidPlatform.h"

struct udev;
struct udev_monitor;

namespace halvik {

// The device link's platform on Linux: libudev lists the hidraw devices and watches them come and
// go; hidraw nodes are opened for I/O. Handles of one device path that can read share one open
// file, so input reports that arrive after a write on the synchronous handle still reach the
// reader that starts afterwards. Reads come back as the report-ID byte (0 for a device that does
// not number its reports) followed by the report.
//
// The monitor listens to the udev daemon's events when one runs (they come after its rules have
// set the node's permissions) and to the kernel's otherwise.
class LinuxHidPlatform : public IHidPlatform {
  public:
    enum class MonitorSource { Automatic, Udev, Kernel };

    explicit LinuxHidPlatform(MonitorSource source = MonitorSource::Automatic);
    ~LinuxHidPlatform() override;
    LinuxHidPlatform(const LinuxHidPlatform&) = delete;
    LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;

    // Which monitor source is in use ("udev" or "kernel"; empty when there is no monitor).
    std::string MonitorSourceName() const { return FMonitorSource; }

    bool IsAvailable() const override;
    bool ListInterfaces(std::vector<HidInterfaceRecord>& interfaces) override;
    std::unique_ptr<IHidHandle> Open(const std::string& path, THidAccess access,
                                     int& error) override;
    int ChangeNotificationFd() const override;
    Notice TakeChangeNotification() override;

    // The number this platform gives an interface's syspath: the same while it stays plugged
    // in, a new one for every plug.
    uint32_t DeviceIdFor(const std::string& syspath);

    struct OpenFile;

  private:
    udev* FUdev = nullptr;
    udev_monitor* FMonitor = nullptr;
    std::string FMonitorSource;
    std::map<std::string, uint32_t> FIds;
    uint32_t FNextId = 1;
    std::mutex FFilesLock;  // Open runs on the main thread and on reader threads
    std::map<std::string, std::weak_ptr<OpenFile>> FFiles;
};

}  // namespace halvik
