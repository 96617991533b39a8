// SPDX-License-Identifier: GPL-3.0-or-later
// The device list: first rebuild, enumeration, check-out, plug and unplug, destruction.
#include <cerrno>

#include "DeviceLinkFixture.h"

namespace halvik::testing {
namespace {

using ControllerTest = DeviceLinkTest;

// The window's side of the device link, reduced to what it does with the controller.
struct Window {
    THidDeviceController& controller;
    THidDevice* pic18 = nullptr;
    int enumerateCalls = 0;

    explicit Window(THidDeviceController& c) : controller(c) {
        controller.SetOnEnumerate([this](THidDevice* dev, int32_t idx) {
            ++enumerateCalls;
            if (dev->Attributes().VendorID == 0x3543 && dev->Attributes().ProductID == 0x3543) {
                controller.CheckOutByIndex(pic18, idx);
            }
            return pic18 == nullptr;
        });
        controller.SetOnDeviceChange([this](THidDeviceController*) {
            if (pic18 && !pic18->IsPluggedIn()) {
                delete pic18;
                pic18 = nullptr;
            }
            if (!pic18)
                lastEnumerate = controller.Enumerate();
        });
    }
    ~Window() { delete pic18; }
    int32_t lastEnumerate = -1;
};

TEST_F(ControllerTest, FirstRebuildRunsWhenTheLoopRunsAndFiresOnceWithNoDevice) {
    THidDeviceController controller(platform, queue);
    int changes = 0;
    int enumerated = 0;
    controller.SetOnEnumerate([&](THidDevice*, int32_t) { return ++enumerated, true; });
    controller.SetOnDeviceChange([&](THidDeviceController* sender) {
        EXPECT_EQ(sender, &controller);
        ++changes;
    });
    EXPECT_EQ(changes, 0) << "setting the handler before the loop runs only stores it";
    queue.RunPending();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(controller.ListCount(), 0);
    EXPECT_EQ(controller.Enumerate(), 0);
    EXPECT_EQ(enumerated, 0);
    // A notice that changes no HID device does not fire the event.
    platform.NotifyOtherChange();
    controller.HandleNotification();
    EXPECT_EQ(changes, 1);
}

TEST_F(ControllerTest, WindowFlowChecksOutTheFirstLoggerAndEnumerateStopsRightAfterIt) {
    platform.Plug(Keyboard());
    platform.Plug(Mouse());
    const uint32_t first = platform.Plug(Logger());
    platform.Plug(Logger());
    THidDeviceController controller(platform, queue);
    Window window(controller);
    queue.RunPending();
    ASSERT_NE(window.pic18, nullptr);
    EXPECT_EQ(window.pic18->PnPInfo().DeviceID(), first);
    EXPECT_EQ(window.lastEnumerate, 3) << "the logger is the third plugged-in device";
    EXPECT_EQ(window.enumerateCalls, 3);
    EXPECT_TRUE(window.pic18->IsCheckedOut());
    EXPECT_EQ(controller.NumCheckedOutDevices(), 1);
    EXPECT_EQ(controller.NumCheckedInDevices(), 3);
    EXPECT_EQ(controller.NumUnpluggedDevices(), 0);
    // Handles of the devices shown but not checked out are closed again.
    for (int32_t i = 0; i < controller.ListCount(); ++i) {
        THidDevice* device = controller.ListItem(i);
        if (device != window.pic18) {
            EXPECT_EQ(platform.OpenHandleCount(device->PnPInfo().DeviceID()), 0);
        }
    }
}

TEST_F(ControllerTest, EnumerateWithoutHandlerCountsOneWhenAnyDeviceIsPlugged) {
    auto controller = MakeController();
    EXPECT_EQ(controller->Enumerate(), 0);
    platform.Plug(Keyboard());
    platform.Plug(Mouse());
    controller->HandleNotification();
    EXPECT_EQ(controller->ListCount(), 2);
    EXPECT_EQ(controller->Enumerate(), 1);
}

TEST_F(ControllerTest, CheckOutByIndexOutOfRangeOrTakenClearsTheReference) {
    platform.Plug(Keyboard());
    platform.Plug(Logger());
    auto controller = MakeController();
    THidDevice* device = reinterpret_cast<THidDevice*>(0x1);
    for (int32_t idx : {-1, 2, 1000}) {
        device = reinterpret_cast<THidDevice*>(0x1);
        EXPECT_FALSE(controller->CheckOutByIndex(device, idx)) << idx;
        EXPECT_EQ(device, nullptr) << idx;
    }
    THidDevice* held = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(held, 1));
    THidDevice* again = held;
    EXPECT_FALSE(controller->CheckOutByIndex(again, 1));
    EXPECT_EQ(again, nullptr) << "cleared even though it held that very device";
    EXPECT_EQ(controller->NumCheckedOutDevices(), 1);
    EXPECT_EQ(controller->NumCheckedInDevices(), 1);
    controller->CheckIn(held);
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 0);
    EXPECT_EQ(controller->NumCheckedInDevices(), 2);
    EXPECT_TRUE(controller->CheckOutByIndex(held, 1)) << "checked in again, it can be taken";
    delete held;
}

TEST_F(ControllerTest, OtherCheckOutsAndCounts) {
    auto kb = Keyboard();
    kb.Product = "Keys";
    kb.Manufacturer = "Acme";
    platform.Plug(kb);
    auto logger = Logger();
    logger.ClassDescr = "LoggerClass";
    platform.Plug(logger);
    platform.Plug(Logger());
    auto controller = MakeController();
    EXPECT_EQ(controller->CountByID(0x3543, 0x3543), 2);
    EXPECT_EQ(controller->CountByID(0x3543, -1), 2);
    EXPECT_EQ(controller->CountByID(0x046D, 0x1), 0);
    EXPECT_EQ(controller->CountByProductName("Keys"), 1);
    EXPECT_EQ(controller->CountByVendorName("Acme"), 1);
    EXPECT_EQ(controller->CountByClass("LoggerClass"), 1);
    EXPECT_EQ(controller->CountByCallback(
                  [](THidDevice* d) { return d->Attributes().ProductID == 0x3543; }),
              2);

    THidDevice* a = nullptr;
    THidDevice* b = nullptr;
    THidDevice* c = nullptr;
    THidDevice* d = nullptr;
    EXPECT_FALSE(controller->CheckOutByProductName(a, ""));
    EXPECT_TRUE(controller->CheckOutByVendorName(a, "Acme"));
    EXPECT_EQ(a, controller->ListItem(0));
    EXPECT_TRUE(controller->CheckOutByID(b, 0x3543, -1));
    EXPECT_EQ(b, controller->ListItem(1));
    EXPECT_TRUE(controller->CheckOutByCallback(
        c, [](THidDevice* dev) { return dev->Attributes().VendorID == 0x3543; }));
    EXPECT_EQ(c, controller->ListItem(2));
    EXPECT_FALSE(controller->CheckOut(d)) << "every device is taken";
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 3);
    EXPECT_EQ(controller->NumCheckedInDevices(), 0);
    controller->CheckIn(c);
    EXPECT_TRUE(controller->CheckOutByClass(d, "HIDClass"));
    EXPECT_EQ(d, controller->ListItem(2));
    delete a;
    delete b;
    delete d;
}

TEST_F(ControllerTest, PlugAndUnplugGiveOneNotificationEachAndTheListFollows) {
    auto controller = MakeController();
    ASSERT_EQ(deviceChanges, 1);
    int arrivals = 0;
    int removals = 0;
    controller->SetOnArrival([&](THidDevice* dev) {
        ++arrivals;
        EXPECT_EQ(controller->ListItem(controller->ListCount() - 1), dev)
            << "a device is in the list when its OnArrival fires";
    });
    controller->SetOnRemoval([&](THidDevice* dev) {
        ++removals;
        EXPECT_FALSE(dev->IsPluggedIn());
    });
    const uint32_t kb = platform.Plug(Keyboard());
    EXPECT_EQ(platform.PendingNotices(), 1u);
    controller->HandleNotification();
    EXPECT_EQ(deviceChanges, 2);
    EXPECT_EQ(arrivals, 1);
    EXPECT_EQ(controller->ListCount(), 1);

    platform.Unplug(kb);
    controller->HandleNotification();
    EXPECT_EQ(deviceChanges, 3);
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(controller->ListCount(), 0) << "a checked-in device found missing is destroyed";
    EXPECT_EQ(controller->NumCheckedInDevices(), 0);

    // Nothing changed: no event.
    controller->DeviceChange();
    EXPECT_EQ(deviceChanges, 3);
}

TEST_F(ControllerTest, UnpluggedHeldDeviceIsFoundMissingAtEveryRebuildButUnplugFiresOnce) {
    const uint32_t id = platform.Plug(Logger());
    auto controller = MakeController();
    int unplugs = 0;
    int removals = 0;
    controller->SetOnDeviceUnplug([&](THidDevice*) { ++unplugs; });
    controller->SetOnRemoval([&](THidDevice*) { ++removals; });
    THidDevice* held = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(held, 0));
    bool pluggedDuringEvent = true;
    controller->SetOnDeviceChange([&](THidDeviceController*) {
        ++deviceChanges;
        pluggedDuringEvent = held->IsPluggedIn();
    });
    platform.Unplug(id);
    controller->HandleNotification();
    EXPECT_FALSE(pluggedDuringEvent) << "IsPluggedIn is false before OnDeviceChange";
    EXPECT_EQ(controller->ListCount(), 1) << "a held device stays listed";
    EXPECT_EQ(controller->NumUnpluggedDevices(), 1);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 0);
    const int changesAfterUnplug = deviceChanges;

    platform.NotifyOtherChange();
    controller->HandleNotification();
    EXPECT_EQ(deviceChanges, changesAfterUnplug + 1);
    EXPECT_EQ(removals, 2);
    EXPECT_EQ(unplugs, 1);

    // The card comes back: a separate new object, which can be checked out on its own.
    platform.Plug(Logger());
    controller->HandleNotification();
    ASSERT_EQ(controller->ListCount(), 2);
    THidDevice* fresh = nullptr;
    EXPECT_TRUE(controller->CheckOutByIndex(fresh, 1));
    EXPECT_NE(fresh, held);
    EXPECT_FALSE(held->IsPluggedIn());
    uint32_t written = 7;
    EXPECT_FALSE(held->WriteFile("\0\x16", 2, written)) << "unplugged: no write";
    EXPECT_EQ(written, 0u);
    delete held;
    EXPECT_EQ(controller->ListCount(), 1);
    EXPECT_EQ(controller->NumUnpluggedDevices(), 0);
    delete fresh;
}

TEST_F(ControllerTest, DestroyingTheHeldLoggerWhilePluggedListsAFreshCheckedInObject) {
    platform.Plug(Keyboard());
    const uint32_t id = platform.Plug(Logger());
    auto controller = MakeController();
    int handlerCalls = 0;
    controller->SetOnDeviceData(
        [&](THidDevice*, uint8_t, const uint8_t*, uint16_t) { ++handlerCalls; });
    THidDevice* held = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(held, 1));
    ASSERT_TRUE(held->IsReading()) << "it had the controller's OnDeviceData handler";
    held->SetThreadSleepTime(40);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 1);
    EXPECT_EQ(controller->NumCheckedInDevices(), 1);
    delete held;
    ASSERT_EQ(controller->ListCount(), 2);
    THidDevice* fresh = controller->ListItem(1);
    EXPECT_EQ(fresh->PnPInfo().DeviceID(), id);
    EXPECT_FALSE(fresh->IsCheckedOut());
    EXPECT_TRUE(fresh->IsPluggedIn());
    EXPECT_FALSE(fresh->IsReading());
    EXPECT_TRUE(static_cast<bool>(fresh->OnData())) << "it keeps the OnData handler";
    EXPECT_EQ(fresh->ThreadSleepTime(), 40);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 0);
    EXPECT_EQ(controller->NumCheckedInDevices(), 2);
    EXPECT_EQ(platform.OpenHandleCount(id), 0);
    // The fresh object is a full device: it checks out and reads.
    THidDevice* again = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(again, 1));
    EXPECT_TRUE(again->IsReading());
    delete again;
}

TEST_F(ControllerTest, TheFreshObjectFollowsTheControllersOnDeviceDataOnlyWhereTheHeldOneDid) {
    // Whether the held object's handler was its own or the controller's passes to the fresh
    // object: only a handler that came from the controller is replaced by a later
    // SetOnDeviceData.
    for (const bool ownHandler : {true, false}) {
        SCOPED_TRACE(ownHandler ? "the holder set its own OnData" : "the controller's OnData");
        const uint32_t id = platform.Plug(Logger());
        auto controller = MakeController();
        int controllerCalls = 0, ownCalls = 0, laterCalls = 0;
        controller->SetOnDeviceData(
            [&](THidDevice*, uint8_t, const uint8_t*, uint16_t) { ++controllerCalls; });
        THidDevice* held = nullptr;
        ASSERT_TRUE(controller->CheckOutByIndex(held, 0));
        if (ownHandler)
            held->SetOnData([&](THidDevice*, uint8_t, const uint8_t*, uint16_t) { ++ownCalls; });
        delete held;
        ASSERT_EQ(controller->ListCount(), 1);
        controller->SetOnDeviceData(
            [&](THidDevice*, uint8_t, const uint8_t*, uint16_t) { ++laterCalls; });
        THidDevice* fresh = controller->ListItem(0);
        ASSERT_TRUE(static_cast<bool>(fresh->OnData()));
        fresh->OnData()(fresh, 0, nullptr, 0);
        EXPECT_EQ(ownCalls, ownHandler ? 1 : 0);
        EXPECT_EQ(laterCalls, ownHandler ? 0 : 1);
        EXPECT_EQ(controllerCalls, 0);
        controller.reset();
        platform.Unplug(id);
    }
}

TEST_F(ControllerTest, HeldDeviceWhoseInterfaceCannotBeReopenedLeavesTheListOnDestruction) {
    const uint32_t id = platform.Plug(Logger());
    auto controller = MakeController();
    THidDevice* held = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(held, 0));
    platform.SetOpenable(id, false, false);  // the fresh object for it cannot be opened
    delete held;                             // a destructor cannot raise: no crash, no entry
    EXPECT_EQ(controller->ListCount(), 0);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 0);
    EXPECT_EQ(controller->NumCheckedInDevices(), 0);
    platform.SetOpenable(id, true, true);
    platform.NotifyOtherChange();
    controller->HandleNotification();
    EXPECT_EQ(controller->ListCount(), 1) << "the next rebuild lists it again";
}

TEST_F(ControllerTest, DeviceThatVanishesBeforeItIsOpenedFailsTheRebuildAndChangesNothing) {
    platform.Plug(Keyboard());
    auto controller = MakeController();
    THidDevice* before = controller->ListItem(0);
    const uint32_t logger = platform.Plug(Logger());
    platform.SetVanishOnNextOpen(logger);
    try {
        controller->HandleNotification();
        FAIL() << "the rebuild should have failed";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Device cannot be opened");
    }
    EXPECT_EQ(controller->ListCount(), 1);
    EXPECT_EQ(controller->ListItem(0), before);
    EXPECT_EQ(controller->NumCheckedInDevices(), 1);
    EXPECT_EQ(deviceChanges, 1);
    // Its disappearance was noticed too; later notifications are still handled.
    controller->HandleNotification();
    platform.Plug(Mouse());
    controller->HandleNotification();
    EXPECT_EQ(controller->ListCount(), 2);
    EXPECT_EQ(deviceChanges, 2);
}

TEST_F(ControllerTest, DeviceThatCannotBeIdentifiedFailsTheRebuild) {
    auto controller = MakeController();
    const uint32_t id = platform.Plug(Logger());
    platform.SetIdentifiable(id, false);
    EXPECT_THROW(
        {
            try {
                controller->HandleNotification();
            } catch (const EControllerError& e) {
                EXPECT_STREQ(e.what(), "Device cannot be identified");
                throw;
            }
        },
        EControllerError);
    EXPECT_EQ(controller->ListCount(), 0);
    platform.SetIdentifiable(id, true);
    platform.NotifyOtherChange();
    controller->HandleNotification();
    EXPECT_EQ(controller->ListCount(), 1);
}

TEST_F(ControllerTest, DeviceOpenableOnlyWithoutAccessIsListedButNeverReads) {
    const uint32_t id = platform.Plug(Logger());
    platform.SetOpenable(id, false, true);
    auto controller = MakeController();
    ASSERT_EQ(controller->ListCount(), 1);
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(device, 0));
    EXPECT_FALSE(device->HasReadWriteAccess());
    device->SetOnData([](THidDevice*, uint8_t, const uint8_t*, uint16_t) {});
    EXPECT_FALSE(device->IsReading());
    uint32_t written = 99;
    const uint8_t report[3] = {0, 22, 0};
    EXPECT_FALSE(device->WriteFile(report, 3, written));
    EXPECT_EQ(written, 0u);
    delete device;

    platform.SetOpenable(id, false, false);
    platform.NotifyOtherChange();
    // The listed object is already there: the fresh one of the rebuild is a duplicate... but
    // creating it fails first, before anything in the list changes.
    EXPECT_THROW(controller->HandleNotification(), EControllerError);
}

TEST_F(ControllerTest, InertControllerWhenTheHidServiceIsMissing) {
    platform.SetAvailable(false);
    platform.Plug(Logger());
    THidDeviceController controller(platform, queue);
    int events = 0;
    controller.SetOnDeviceChange([&](THidDeviceController*) { ++events; });
    controller.SetOnEnumerate([&](THidDevice*, int32_t) { return ++events, true; });
    queue.RunPending();
    controller.HandleNotification();
    EXPECT_TRUE(controller.IsInert());
    EXPECT_EQ(controller.NotificationFd(), -1);
    EXPECT_EQ(controller.HidGuid(), kStandardHidGuid);
    EXPECT_EQ(controller.Enumerate(), 0);
    THidDevice* device = nullptr;
    EXPECT_FALSE(controller.CheckOutByIndex(device, 0));
    EXPECT_FALSE(controller.CheckOut(device));
    EXPECT_EQ(events, 0);
}

TEST_F(ControllerTest, ListingRefusedCountsAsNoDevice) {
    platform.Plug(Keyboard());
    platform.SetListingRefused(true);
    auto controller = MakeController();
    EXPECT_EQ(controller->ListCount(), 0);
    EXPECT_EQ(deviceChanges, 1);
}

TEST_F(ControllerTest, OnlyTheControllerCreatesDevicesAndReaders) {
    try {
        THidDevice device;
        FAIL();
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Direct creation of a THidDevice object is not allowed");
    }
    try {
        THidDeviceReadThread reader;
        FAIL();
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Direct creation of a TDeviceReadThread object is not allowed");
    }
}

TEST_F(ControllerTest, HeldDeviceOutlivesTheControllerUnpluggedAndDetached) {
    const uint32_t id = platform.Plug(Logger());
    THidDevice* held = nullptr;
    int unplugs = 0;
    {
        auto controller = MakeController();
        controller->SetOnDeviceUnplug([&](THidDevice*) { ++unplugs; });
        ASSERT_TRUE(controller->CheckOutByIndex(held, 0));
        held->SetOnData([](THidDevice*, uint8_t, const uint8_t*, uint16_t) {});
        ASSERT_TRUE(held->IsReading());
    }
    EXPECT_EQ(unplugs, 1);
    EXPECT_FALSE(held->IsPluggedIn());
    EXPECT_EQ(held->MyController(), nullptr);
    uint32_t written = 0;
    EXPECT_FALSE(held->WriteFile("\0\x16", 2, written));
    delete held;
    EXPECT_EQ(platform.OpenHandleCount(id), 0);
}

TEST_F(ControllerTest, ControllerDestroyedBeforeTheLoopRanLeavesNothingBehind) {
    platform.Plug(Logger());
    {
        THidDeviceController controller(platform, queue);
        controller.SetOnDeviceChange([&](THidDeviceController*) { ++deviceChanges; });
    }
    EXPECT_EQ(queue.RunPending(), 1u);
    EXPECT_EQ(deviceChanges, 0);
}

TEST_F(ControllerTest, SettingOnDeviceChangeAfterStartRebuildsAtOnce) {
    platform.Plug(Keyboard());
    auto controller = MakeController();
    int later = 0;
    controller->SetOnDeviceChange([&](THidDeviceController*) { ++later; });
    // The rebuild runs; it fires only when something changed or the start-up rebuild is forced.
    platform.Plug(Mouse());
    controller->SetOnDeviceChange([&](THidDeviceController*) { ++later; });
    EXPECT_EQ(controller->ListCount(), 2);
    EXPECT_GE(later, 1);
}

TEST_F(ControllerTest, NotificationDuringARebuildIsIgnored) {
    platform.Plug(Keyboard());
    THidDeviceController controller(platform, queue);
    int nested = 0;
    controller.SetOnDeviceChange([&](THidDeviceController* c) {
        ++nested;
        platform.Plug(Mouse());
        c->HandleNotification();  // a handler that pumps messages
    });
    queue.RunPending();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(controller.ListCount(), 1) << "the notice was taken and ignored, not deferred";
}

TEST_F(ControllerTest, DevThreadSleepTimePassesToDevicesThatStillHaveTheOldValue) {
    platform.Plug(Keyboard());
    platform.Plug(Mouse());
    auto controller = MakeController();
    controller->ListItem(1)->SetThreadSleepTime(500);
    controller->SetDevThreadSleepTime(250);
    EXPECT_EQ(controller->ListItem(0)->ThreadSleepTime(), 250);
    EXPECT_EQ(controller->ListItem(1)->ThreadSleepTime(), 500);
    EXPECT_EQ(controller->Version(), "1.0.35");
}

}  // namespace
}  // namespace halvik::testing
