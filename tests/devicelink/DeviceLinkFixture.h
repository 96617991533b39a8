// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "devicelink/HidDeviceController.h"
#include "devicelink/MainThread.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"

namespace halvik::testing {

// The main thread of a test is the test's own thread: it pumps the hand-over queue itself.
class DeviceLinkTest : public ::testing::Test {
  protected:
    // Runs handed-over calls until `done` holds; fails the test after a long time (a hang guard,
    // not a timing check).
    bool PumpUntil(const std::function<bool()>& done, int limitMs = 20000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "condition not reached while pumping the main thread";
                return false;
            }
            queue.RunPendingFor(5);
        }
        return true;
    }
    // Runs handed-over calls until the reader of `deviceId` waits in a read with nothing left
    // to take and nothing handed over: every report it took before has been delivered or dropped
    // by then, so a check that nothing more arrived needs no fixed wait. `drained` (checked
    // first) says the sender has nothing more to send.
    bool PumpUntilReaderWaits(uint32_t deviceId, const std::function<bool()>& drained = nullptr) {
        return PumpUntil([&] {
            return (!drained || drained()) && platform.QueuedInput(deviceId) == 0 &&
                   platform.ReadsInProgress(deviceId) > 0 && queue.PendingCount() == 0;
        });
    }

    // A controller over the in-memory platform, with its first rebuild run.
    std::unique_ptr<THidDeviceController> MakeController() {
        // Notices of devices plugged before the controller existed are not its business.
        while (platform.TakeChangeNotification() != IHidPlatform::Notice::None) {
        }
        auto controller = std::make_unique<THidDeviceController>(platform, queue);
        controller->SetOnDeviceChange([this](THidDeviceController*) { ++deviceChanges; });
        queue.RunPending();
        return controller;
    }

    static SimHidPlatform::DeviceSpec DeviceOf(uint16_t vid, uint16_t pid, uint16_t in = 65,
                                               uint16_t out = 65, bool numbered = false) {
        SimHidPlatform::DeviceSpec deviceSpec;
        deviceSpec.VendorID = vid;
        deviceSpec.ProductID = pid;
        deviceSpec.InputReportByteLength = in;
        deviceSpec.OutputReportByteLength = out;
        deviceSpec.NumberedReports = numbered;
        return deviceSpec;
    }
    static SimHidPlatform::DeviceSpec Keyboard() { return DeviceOf(0x046D, 0xC31C, 9, 2); }
    static SimHidPlatform::DeviceSpec Mouse() { return DeviceOf(0x046D, 0xC077, 5, 0); }
    static SimHidPlatform::DeviceSpec Logger() { return DeviceOf(0x3543, 0x3543); }

    MainThreadQueue queue;  // constructed on the test thread: that is the main thread
    SimHidPlatform platform;
    int deviceChanges = 0;
};

}  // namespace halvik::testing
