// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/linux/LinuxHidPlatform.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "devicelink/linux/HidId.h"
#include "devicelink/linux/ReportDescriptor.h"

// Direct input/output report transfers arrived in Linux 5.11; older headers lack them.
#ifndef HIDIOCGINPUT
#define HIDIOCGINPUT(len) _IOC(_IOC_WRITE | _IOC_READ, 'H', 0x0A, len)
#endif
#ifndef HIDIOCSOUTPUT
#define HIDIOCSOUTPUT(len) _IOC(_IOC_WRITE | _IOC_READ, 'H', 0x0B, len)
#endif

namespace halvik {

namespace {

std::string Text(const char* s) {
    return s ? std::string(s) : std::string();
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return true;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The sysfs directory of a hidraw node: /sys/dev/char/MAJOR:MINOR, resolved.
bool SysfsDirOf(const std::string& devnode, std::string& dir, int& error) {
    struct stat st {};
    if (::stat(devnode.c_str(), &st) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISCHR(st.st_mode)) {
        error = ENODEV;
        return false;
    }
    const std::string link = "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                             std::to_string(minor(st.st_rdev));
    char resolved[PATH_MAX];
    if (!::realpath(link.c_str(), resolved)) {
        error = errno;
        return false;
    }
    dir = resolved;
    return true;
}

// A value of the HID parent's uevent file (HID_ID, HID_NAME, HID_UNIQ, ...).
bool HidUevent(const std::string& sysfsDir, const std::string& key, std::string& value) {
    std::string text;
    if (!ReadWholeFile(sysfsDir + "/device/uevent", text))
        return false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size() + 1, key + "=") == 0) {
            value = line.substr(key.size() + 1);
            return true;
        }
    }
    return false;
}

// The nearest ancestor directory of the HID device that has `attribute` (the USB device).
bool UsbAttribute(const std::string& sysfsDir, const std::string& attribute, std::string& value) {
    char resolved[PATH_MAX];
    if (!::realpath((sysfsDir + "/device").c_str(), resolved))
        return false;
    std::string dir = resolved;
    while (dir.size() > std::strlen("/sys/devices")) {
        if (ReadWholeFile(dir + "/" + attribute, value)) {
            value = Trimmed(value);
            return true;
        }
        dir = dir.substr(0, dir.find_last_of('/'));
    }
    return false;
}

std::string BusName(unsigned bus) {
    switch (bus) {
        case 0x03:
            return "USB";
        case 0x05:
            return "BLUETOOTH";
        case 0x06:
            return "VIRTUAL";
        case 0x18:
            return "I2C";
        default:
            return {};
    }
}

bool DeviceGone(int error) {
    return error == ENODEV || error == EIO || error == ESHUTDOWN;
}

}  // namespace

// One open hidraw file, shared by the handles of a device path that may read: the kernel keeps
// one input queue per open file.
struct LinuxHidPlatform::OpenFile {
    int fd = -1;
    bool writable = false;
    bool numbered = false;
    std::atomic<bool> dead{false};
    ~OpenFile() {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

class LinuxHidHandle : public IHidHandle {
  public:
    LinuxHidHandle(std::shared_ptr<LinuxHidPlatform::OpenFile> file, THidAccess access,
                   std::string sysfsDir)
        : file_(std::move(file)), access_(access), sysfsDir_(std::move(sysfsDir)) {
        cancel_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    ~LinuxHidHandle() override {
        if (cancel_ >= 0)
            ::close(cancel_);
    }

    bool GetAttributes(THidAttributes& attributes) override {
        unsigned bus = 0, vendor = 0, product = 0;
        if (file_) {
            hidraw_devinfo info{};
            if (::ioctl(file_->fd, HIDIOCGRAWINFO, &info) != 0) {
                MarkIfGone(errno);
                return false;
            }
            vendor = static_cast<uint16_t>(info.vendor);  // signed in the kernel's record
            product = static_cast<uint16_t>(info.product);
        } else {
            std::string hidId;
            if (!HidUevent(sysfsDir_, "HID_ID", hidId) ||
                !ParseHidId(hidId, bus, vendor, product)) {
                return false;
            }
        }
        attributes.VendorID = static_cast<uint16_t>(vendor);
        attributes.ProductID = static_cast<uint16_t>(product);
        std::string version;
        attributes.VersionNumber =
            UsbAttribute(sysfsDir_, "bcdDevice", version)
                ? static_cast<uint16_t>(std::strtoul(version.c_str(), nullptr, 16))
                : 0;
        return true;
    }

    bool GetPreparsedData(THidPreparsedData& data) override {
        std::vector<uint8_t> descriptor;
        if (file_) {
            int size = 0;
            if (::ioctl(file_->fd, HIDIOCGRDESCSIZE, &size) != 0) {
                MarkIfGone(errno);
                return false;
            }
            hidraw_report_descriptor raw{};
            raw.size = static_cast<uint32_t>(std::min(std::max(size, 0), HID_MAX_DESCRIPTOR_SIZE));
            if (::ioctl(file_->fd, HIDIOCGRDESC, &raw) != 0) {
                MarkIfGone(errno);
                return false;
            }
            descriptor.assign(raw.value, raw.value + raw.size);
        } else {
            std::string text;
            if (!ReadWholeFile(sysfsDir_ + "/device/report_descriptor", text))
                return false;
            descriptor.assign(text.begin(), text.end());
        }
        const ReportDescriptorSummary summary = ParseReportDescriptor(descriptor);
        if (!summary.valid)
            return false;
        data.ReportDescriptor = std::move(descriptor);
        data.Caps = CapsFromReportDescriptor(summary);
        data.NumberedReports = summary.numbered;
        return true;
    }

    bool Write(const uint8_t* report, uint32_t size, uint32_t& written, int& error) override {
        written = 0;
        if (!file_ || !file_->writable ||
            (access_ != THidAccess::ReadWrite && access_ != THidAccess::Write)) {
            error = EBADF;
            return false;
        }
        const ssize_t n = ::write(file_->fd, report, size);
        if (n < 0) {
            error = errno;
            MarkIfGone(error);
            return false;
        }
        written = static_cast<uint32_t>(n);
        return true;
    }

    HidReadResult Read(uint8_t* buffer, uint32_t capacity, int timeoutMs) override {
        HidReadResult result;
        if (!file_ || access_ == THidAccess::Write || access_ == THidAccess::None) {
            result.error = EBADF;
            return result;
        }
        pollfd fds[2] = {{file_->fd, POLLIN, 0}, {cancel_, POLLIN, 0}};
        const int ready = ::poll(fds, cancel_ >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) {
                result.status = HidReadResult::Timeout;
                return result;
            }
            result.error = errno;
            return result;
        }
        if (ready == 0) {
            result.status = HidReadResult::Timeout;
            return result;
        }
        if (cancel_ >= 0 && (fds[1].revents & POLLIN)) {
            uint64_t count = 0;
            ssize_t n = ::read(cancel_, &count, sizeof count);
            (void)n;
            result.status = HidReadResult::Cancelled;
            return result;
        }
        if (fds[0].revents & POLLIN) {
            // Reports still queued when the device went away are read first.
            ssize_t n;
            uint32_t offset = 0;
            if (capacity == 0) {
                uint8_t scratch = 0;
                n = ::read(file_->fd, &scratch, 0);
                result.status = HidReadResult::Data;
                result.bytes = 0;
                return result;
            }
            if (!file_->numbered) {
                buffer[0] = 0;  // the device layer always sees a report-ID byte
                offset = 1;
            }
            n = ::read(file_->fd, buffer + offset, capacity - offset);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    result.status = HidReadResult::Timeout;
                    return result;
                }
                result.error = errno;
                MarkIfGone(result.error);
                return result;
            }
            result.status = HidReadResult::Data;
            result.bytes = static_cast<uint32_t>(n) + offset;
            return result;
        }
        // POLLERR, POLLHUP or POLLNVAL without data: the device has gone.
        result.error = ENODEV;
        file_->dead = true;
        return result;
    }

    void CancelRead() override {
        if (cancel_ < 0)
            return;
        const uint64_t one = 1;
        ssize_t n = ::write(cancel_, &one, sizeof one);
        (void)n;
    }

    bool GetManufacturerString(std::string& text) override {
        return UsbAttribute(sysfsDir_, "manufacturer", text) && !text.empty();
    }
    bool GetProductString(std::string& text) override {
        if (UsbAttribute(sysfsDir_, "product", text) && !text.empty())
            return true;
        return HidUevent(sysfsDir_, "HID_NAME", text) && !text.empty();
    }

  private:
    void MarkIfGone(int error) {
        if (file_ && DeviceGone(error))
            file_->dead = true;
    }

    std::shared_ptr<LinuxHidPlatform::OpenFile> file_;
    THidAccess access_;
    std::string sysfsDir_;
    int cancel_ = -1;
};

}  // namespace

LinuxHidPlatform::LinuxHidPlatform(MonitorSource source) {
    FUdev = udev_new();
    if (!FUdev)
        return;
    const char* name = "kernel";
    if (source == MonitorSource::Udev ||
        (source == MonitorSource::Automatic && ::access("/run/udev/control", F_OK) == 0)) {
        name = "udev";  // its events come after the rules have set the node's permissions
    }
    FMonitor = udev_monitor_new_from_netlink(FUdev, name);
    if (FMonitor &&
        udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(FMonitor) >= 0) {
        FMonitorSource = name;
    } else if (FMonitor) {
        udev_monitor_unref(FMonitor);
        FMonitor = nullptr;
    }
}

LinuxHidPlatform::~LinuxHidPlatform() {
    if (FMonitor)
        udev_monitor_unref(FMonitor);
    if (FUdev)
        udev_unref(FUdev);
}

bool LinuxHidPlatform::IsAvailable() const {
    return FUdev != nullptr;
}

uint32_t LinuxHidPlatform::DeviceIdFor(const std::string& syspath) {
    auto it = FIds.find(syspath);
    if (it != FIds.end())
        return it->second;
    const uint32_t id = FNextId++;
    FIds.emplace(syspath, id);
    return id;
}

bool LinuxHidPlatform::ListInterfaces(std::vector<HidInterfaceRecord>& interfaces) {
    interfaces.clear();
    if (!FUdev)
        return false;
    udev_enumerate* enumerate = udev_enumerate_new(FUdev);
    if (!enumerate)
        return false;
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    if (udev_enumerate_scan_devices(enumerate) < 0) {
        udev_enumerate_unref(enumerate);
        return false;
    }
    std::set<std::string> present;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        const char* syspath = udev_list_entry_get_name(entry);
        if (!syspath)
            continue;
        udev_device* raw = udev_device_new_from_syspath(FUdev, syspath);
        if (!raw)
            continue;  // gone since the scan
        const char* devnode = udev_device_get_devnode(raw);
        if (!devnode) {  // no node to open (yet): skipped, the walk goes on
            udev_device_unref(raw);
            continue;
        }
        HidInterfaceRecord record;
        record.InstanceId = syspath;
        record.DeviceID = DeviceIdFor(syspath);
        present.insert(syspath);
        record.DevicePath = devnode;
        record.ClassDescr = "hidraw";
        record.PhysDevObjName = Text(udev_device_get_sysname(raw));
        if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(raw, "hid", nullptr)) {
            const std::string name = Text(udev_device_get_property_value(hid, "HID_NAME"));
            record.DeviceDescr = name;
            record.FriendlyName = name;
            record.LocationInfo = Text(udev_device_get_property_value(hid, "HID_PHYS"));
            record.Driver = Text(udev_device_get_driver(hid));
            record.Service = record.Driver;
            const std::string modalias = Text(udev_device_get_property_value(hid, "MODALIAS"));
            if (!modalias.empty())
                record.HardwareID.push_back(modalias);
            unsigned bus = 0, vendor = 0, product = 0;
            if (ParseHidId(Text(udev_device_get_property_value(hid, "HID_ID")), bus, vendor,
                           product)) {
                record.EnumeratorName = BusName(bus);
            }
        }
        if (udev_device* usb =
                udev_device_get_parent_with_subsystem_devtype(raw, "usb", "usb_device")) {
            record.Mfg = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
            record.BusNumber = static_cast<uint32_t>(std::strtoul(
                Text(udev_device_get_sysattr_value(usb, "busnum")).c_str(), nullptr, 10));
            record.Address = Text(udev_device_get_sysattr_value(usb, "devnum"));
        }
        interfaces.push_back(std::move(record));
        udev_device_unref(raw);
    }
    udev_enumerate_unref(enumerate);
    // Forget interfaces that have gone; their syspaths never come back.
    for (auto it = FIds.begin(); it != FIds.end();) {
        it = present.count(it->first) ? std::next(it) : FIds.erase(it);
    }
    return true;
}

std::unique_ptr<IHidHandle> LinuxHidPlatform::Open(const std::string& path, THidAccess access,
                                                   int& error) {
    std::string sysfsDir;
    if (!SysfsDirOf(path, sysfsDir, error))
        return nullptr;
    if (access == THidAccess::None) {
        // No file: attributes and descriptor come from sysfs, which everyone may read.
        return std::make_unique<LinuxHidHandle>(nullptr, access, sysfsDir);
    }
    const bool wantWrite = access != THidAccess::Read;
    const bool wantRead = access != THidAccess::Write;
    std::lock_guard<std::mutex> lock(FFilesLock);
    for (auto it = FFiles.begin(); it != FFiles.end();) {  // files every handle has let go of
        it = it->second.expired() ? FFiles.erase(it) : std::next(it);
    }
    std::shared_ptr<OpenFile> file;
    if (auto it = FFiles.find(path); it != FFiles.end()) {
        file = it->second.lock();
        // A file kept for a node of a device that has gone is never handed out again (the node
        // name may already belong to another device).
        hidraw_devinfo info{};
        if (file && (file->dead || (wantWrite && !file->writable) ||
                     ::ioctl(file->fd, HIDIOCGRAWINFO, &info) != 0)) {
            file.reset();
        }
    }
    if (!file) {
        const int flags = (wantRead && wantWrite) ? O_RDWR : wantWrite ? O_WRONLY : O_RDONLY;
        const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        file = std::make_shared<OpenFile>();
        file->fd = fd;
        file->writable = wantWrite;
        int size = 0;
        hidraw_report_descriptor raw{};
        if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0) {
            raw.size = static_cast<uint32_t>(std::min(std::max(size, 0), HID_MAX_DESCRIPTOR_SIZE));
            if (::ioctl(fd, HIDIOCGRDESC, &raw) == 0) {
                file->numbered = ParseReportDescriptor(raw.value, raw.size).numbered;
            }
        }
        if (wantRead)
            FFiles[path] = file;  // later handles that read share its input queue
    }
    return std::make_unique<LinuxHidHandle>(file, access, sysfsDir);
}

int LinuxHidPlatform::ChangeNotificationFd() const {
    return FMonitor ? udev_monitor_get_fd(FMonitor) : -1;
}

IHidPlatform::Notice LinuxHidPlatform::TakeChangeNotification() {
    if (!FMonitor)
        return Notice::None;
    for (;;) {
        pollfd fd = {udev_monitor_get_fd(FMonitor), POLLIN, 0};
        if (::poll(&fd, 1, 0) <= 0 || !(fd.revents & POLLIN))
            return Notice::None;
        // Without a udev daemon the kernel's events of every subsystem arrive, and libudev
        // drops those of other subsystems here by giving no device.
        udev_device* device = udev_monitor_receive_device(FMonitor);
        if (!device)
            continue;
        const std::string action = Text(udev_device_get_action(device));
        udev_device_unref(device);
        return (action == "add" || action == "remove") ? Notice::DeviceSetChanged : Notice::Other;
    }
}

}  // namespace halvik
