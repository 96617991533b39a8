// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux platform against this machine's real udev and sysfs. Machines without HID devices
// (build machines, containers) give an empty list, which is a valid answer.
#include <dirent.h>
#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "devicelink/HidDeviceController.h"
#include "devicelink/MainThread.h"
#include "devicelink/linux/LinuxHidPlatform.h"

namespace halvik {
namespace {

// The hidraw nodes sysfs knows of, as /dev paths.
std::set<std::string> HidrawNodesInSysfs() {
    std::set<std::string> nodes;
    if (DIR* dir = opendir("/sys/class/hidraw")) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.rfind("hidraw", 0) == 0 && access(("/dev/" + name).c_str(), F_OK) == 0) {
                nodes.insert("/dev/" + name);
            }
        }
        closedir(dir);
    }
    return nodes;
}

TEST(LinuxPlatform, ListsTheHidrawNodesSysfsKnows) {
    LinuxHidPlatform platform;
    ASSERT_TRUE(platform.IsAvailable());
    std::vector<HidInterfaceRecord> interfaces;
    ASSERT_TRUE(platform.ListInterfaces(interfaces));
    std::set<std::string> listed;
    std::set<uint32_t> ids;
    for (const HidInterfaceRecord& record : interfaces) {
        listed.insert(record.DevicePath);
        ids.insert(record.DeviceID);
        EXPECT_EQ(record.InstanceId.rfind("/sys/", 0), 0u) << record.InstanceId;
        EXPECT_EQ(record.ClassDescr, "hidraw");
    }
    EXPECT_EQ(listed, HidrawNodesInSysfs());
    EXPECT_EQ(ids.size(), interfaces.size()) << "one identity per interface";
    // The identities stay the same from one listing to the next.
    std::vector<HidInterfaceRecord> again;
    ASSERT_TRUE(platform.ListInterfaces(again));
    ASSERT_EQ(again.size(), interfaces.size());
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].DeviceID, interfaces[i].DeviceID);
    }
}

TEST(LinuxPlatform, MonitorOpensANonBlockingFdAndHasNothingPending) {
    LinuxHidPlatform platform;
    const int fd = platform.ChangeNotificationFd();
    ASSERT_GE(fd, 0);
    EXPECT_NE(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    const bool daemon = access("/run/udev/control", F_OK) == 0;
    EXPECT_EQ(platform.MonitorSourceName(), daemon ? "udev" : "kernel");
    EXPECT_EQ(platform.TakeChangeNotification(), IHidPlatform::Notice::None);
}

// An event of another subsystem reaches an unfiltered kernel monitor, but the platform, which
// listens to hidraw only, takes no notice from it. Needs root to write the uevent file.
TEST(LinuxPlatform, MonitorIgnoresEventsOfOtherSubsystems) {
    const char* uevent = "/sys/devices/virtual/mem/null/uevent";
    if (geteuid() != 0 || access(uevent, W_OK) != 0)
        GTEST_SKIP() << "needs root to send a uevent";
    LinuxHidPlatform platform(LinuxHidPlatform::MonitorSource::Kernel);
    udev* u = udev_new();
    udev_monitor* everything = udev_monitor_new_from_netlink(u, "kernel");
    ASSERT_NE(everything, nullptr);
    ASSERT_GE(udev_monitor_enable_receiving(everything), 0);
    {
        std::ofstream out(uevent);
        out << "change";
    }
    pollfd fd = {udev_monitor_get_fd(everything), POLLIN, 0};
    const bool arrived = poll(&fd, 1, 2000) == 1;
    if (arrived) {
        if (udev_device* d = udev_monitor_receive_device(everything))
            udev_device_unref(d);
    }
    udev_monitor_unref(everything);
    udev_unref(u);
    if (!arrived)
        GTEST_SKIP() << "this kernel sent no uevent";
    // It may make the fd readable (the kernel source has no filter of its own), but it is no
    // notice.
    pollfd mine = {platform.ChangeNotificationFd(), POLLIN, 0};
    poll(&mine, 1, 200);
    EXPECT_EQ(platform.TakeChangeNotification(), IHidPlatform::Notice::None);
    EXPECT_EQ(poll(&mine, 1, 0), 0) << "drained";
}

TEST(LinuxPlatform, MissingOrForeignDevnodesAreHandled) {
    LinuxHidPlatform platform;
    for (THidAccess access :
         {THidAccess::ReadWrite, THidAccess::None, THidAccess::Read, THidAccess::Write}) {
        int error = 0;
        EXPECT_EQ(platform.Open("/dev/hidraw-halvik-missing", access, error), nullptr);
        EXPECT_EQ(error, ENOENT);
    }
    int error = 0;
    EXPECT_EQ(platform.Open("/etc/hostname", THidAccess::None, error), nullptr)
        << "not a device node";
    EXPECT_EQ(error, ENODEV);

    // A character device that is not hidraw opens but is no HID device.
    for (THidAccess access : {THidAccess::None, THidAccess::ReadWrite}) {
        auto handle = platform.Open("/dev/null", access, error);
        ASSERT_NE(handle, nullptr);
        THidAttributes attributes;
        EXPECT_FALSE(handle->GetAttributes(attributes));
        THidPreparsedData data;
        EXPECT_FALSE(handle->GetPreparsedData(data));
    }
}

TEST(LinuxPlatform, ControllerOverTheRealPlatform) {
    LinuxHidPlatform platform;
    MainThreadQueue queue;
    THidDeviceController controller(platform, queue);
    int changes = 0;
    controller.SetOnDeviceChange([&](THidDeviceController*) { ++changes; });
    std::vector<std::string> shown;
    controller.SetOnEnumerate([&](THidDevice* device, int32_t) {
        shown.push_back(device->PnPInfo().DevicePath());
        return true;
    });
    EXPECT_GE(controller.NotificationFd(), 0);
    try {
        queue.RunPending();
    } catch (const EControllerError& e) {
        // A node that exists but cannot be opened even for attributes: only without sysfs.
        FAIL() << e.what();
    }
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(static_cast<std::size_t>(controller.ListCount()), HidrawNodesInSysfs().size());
    EXPECT_EQ(static_cast<std::size_t>(controller.Enumerate()), shown.size());
    controller.HandleNotification();
    EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace halvik
