// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devicelink/HidDevice.h"
#include "devicelink/HidEvents.h"
#include "devicelink/HidPlatform.h"
#include "devicelink/MainThread.h"

namespace halvik {

// Keeps the list of present HID device interfaces, rebuilds it when the platform reports a
// change of the device set, shows the devices through OnEnumerate and hands devices out for
// exclusive use (check-out). All members are for the main thread.
//
// Wiring it into an event loop:
//  - construct it on the main thread with the platform and the main-thread hand-over; it queues
//    its first rebuild through IMainThread::Post, so the rebuild runs (and OnDeviceChange fires,
//    even with no device present) when the event loop first runs the hand-over's calls;
//  - set OnEnumerate and OnDeviceChange right after construction (before the loop runs); this
//    only stores them;
//  - watch NotificationFd() for readability (a QSocketNotifier, QSocketNotifier::Read) and call
//    HandleNotification() each time it fires.
// The platform and the hand-over must outlive the controller and every device it handed out.
class THidDeviceController {
  public:
    THidDeviceController(IHidPlatform& platform, IMainThread& mainThread);
    ~THidDeviceController();
    THidDeviceController(const THidDeviceController&) = delete;
    THidDeviceController& operator=(const THidDeviceController&) = delete;

    // Events. Setting OnDeviceChange after the first rebuild has run also runs a rebuild at once
    // (which fires it when the device set changed).
    const THidEnumerateEvent& OnEnumerate() const { return FEnumerateEvent; }
    void SetOnEnumerate(THidEnumerateEvent handler) { FEnumerateEvent = std::move(handler); }
    const THidNotifyEvent& OnDeviceChange() const { return FDeviceChangeEvent; }
    void SetOnDeviceChange(THidNotifyEvent handler);
    const THidPlugEvent& OnArrival() const { return FArrivalEvent; }
    void SetOnArrival(THidPlugEvent handler) { FArrivalEvent = std::move(handler); }
    const THidPlugEvent& OnRemoval() const { return FRemovalEvent; }
    void SetOnRemoval(THidPlugEvent handler) { FRemovalEvent = std::move(handler); }
    // The handlers new devices start with; setting one also gives it to every listed device
    // that still has the one it started with (not replaced by its holder).
    const THidDataEvent& OnDeviceData() const { return FDevDataEvent; }
    void SetOnDeviceData(THidDataEvent handler);
    const THidPlugEvent& OnDeviceUnplug() const { return FDevUnplugEvent; }
    void SetOnDeviceUnplug(THidPlugEvent handler);

    int32_t DevThreadSleepTime() const { return FDevThreadSleepTime; }
    void SetDevThreadSleepTime(int32_t milliseconds);
    const std::string& Version() const { return FVersion; }
    const std::string& HidGuid() const { return FHidGuid; }

    // Calls OnEnumerate for each plugged-in listed device, in list order, until it returns
    // false; returns the number of calls made.
    int32_t Enumerate();

    // Check-out: HidDev is cleared first; true when a device was checked out into it.
    bool CheckOutByIndex(THidDevice*& HidDev, int32_t Idx);
    bool CheckOut(THidDevice*& HidDev);
    bool CheckOutByID(THidDevice*& HidDev, int32_t Vid, int32_t Pid);
    bool CheckOutByClass(THidDevice*& HidDev, const std::string& ClassName);
    bool CheckOutByProductName(THidDevice*& HidDev, const std::string& ProductName);
    bool CheckOutByVendorName(THidDevice*& HidDev, const std::string& VendorName);
    bool CheckOutByCallback(THidDevice*& HidDev, THidCheckCallback Check);
    // Stops the device's reader, closes its handles and gives it back (or destroys it when it
    // is unplugged); HidDev is cleared.
    void CheckIn(THidDevice*& HidDev);

    int32_t CountByID(int32_t Vid, int32_t Pid);
    int32_t CountByClass(const std::string& ClassName);
    int32_t CountByProductName(const std::string& ProductName);
    int32_t CountByVendorName(const std::string& VendorName);
    int32_t CountByCallback(THidCheckCallback Check);

    // The rebuild of the device list, callable directly. Raises EControllerError ("Device cannot
    // be opened", "Device cannot be identified") with the list left as it was.
    void DeviceChange();

    // The platform's change notification: watch this fd (-1 when the controller is inert) and
    // call HandleNotification() when it is readable. Each added or removed device runs one
    // rebuild; a rebuild's error leaves this call as EControllerError.
    int NotificationFd() const;
    void HandleNotification();

    int32_t NumCheckedInDevices() const { return FNumCheckedInDevices; }
    int32_t NumCheckedOutDevices() const { return FNumCheckedOutDevices; }
    int32_t NumUnpluggedDevices() const { return FNumUnpluggedDevices; }

    // The device list, for inspection: its length and the device at a position.
    int32_t ListCount() const { return static_cast<int32_t>(FList.size()); }
    THidDevice* ListItem(int32_t Idx) const;
    bool IsInert() const { return !FAvailable; }

  private:
    friend class THidDevice;

    // One rebuild unless one is under way; announce fires OnDeviceChange even when nothing
    // changed (the first rebuild).
    void Rebuild(bool announce);
    // The rebuild itself (DeviceChange's body).
    void RebuildList(bool announce);
    std::vector<std::unique_ptr<THidDevice>> CollectPresentDevices();
    bool CheckOutStep(THidDevice*& HidDev, int32_t Idx, bool Wish);
    // The first listed device not checked out whose name (read with access synced) matches.
    bool CheckOutFirstNamed(THidDevice*& HidDev, const std::string& name,
                            bool (*nameIs)(THidDevice*, const std::string&));
    // Plugged-in devices whose name (read with access synced) matches.
    int32_t CountNamed(const std::string& name, bool (*nameIs)(THidDevice*, const std::string&));
    bool EnumerateStep(int32_t Idx);
    bool CallCheck(THidDevice* device, THidCheckCallback Check);
    void Recount();
    // What a destroyed, still plugged-in device passes on to the fresh object for its interface.
    struct Inheritance {
        THidDataEvent data;
        bool dataFromController = true;
        int32_t sleepTime = 100;
    };
    // A device that is being destroyed leaves the list (or gives its place to a fresh object).
    void DeviceDestroyed(THidDevice* device, const Inheritance& inherited);

    IHidPlatform& FPlatform;
    IMainThread& FMainThread;
    bool FAvailable = false;
    std::string FHidGuid;
    THidPlugEvent FArrivalEvent;
    THidNotifyEvent FDeviceChangeEvent;
    THidEnumerateEvent FEnumerateEvent;
    THidDataEvent FDevDataEvent;
    THidPlugEvent FDevUnplugEvent;
    THidPlugEvent FRemovalEvent;
    int32_t FDevThreadSleepTime = 100;
    std::string FVersion = "1.0.35";
    std::vector<THidDevice*> FList;
    int32_t FNumCheckedInDevices = 0;
    int32_t FNumCheckedOutDevices = 0;
    int32_t FNumUnpluggedDevices = 0;
    bool FInDeviceChange = false;
    bool FLoading = true;  // until the first rebuild has run
    bool FDestroying = false;
    std::shared_ptr<THidDeviceController*> FSelf;  // lets a queued call see that we are gone
};

}  // namespace halvik
