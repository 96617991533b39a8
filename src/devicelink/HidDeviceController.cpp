// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/HidDeviceController.h"

#include <algorithm>

namespace halvik {

namespace {

// Sets a flag for the length of a scope, also when a handler raises.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};

}  // namespace

THidDeviceController::THidDeviceController(IHidPlatform& platform, IMainThread& mainThread)
    : FPlatform(platform), FMainThread(mainThread) {
    FSelf = std::make_shared<THidDeviceController*>(this);
    FAvailable = FPlatform.IsAvailable();
    if (!FAvailable) {
        FHidGuid = kStandardHidGuid;
        return;
    }
    FHidGuid = FPlatform.InterfaceClass();
    // The first rebuild runs when the event loop first runs the hand-over's calls; it fires
    // OnDeviceChange even when no device is present.
    std::weak_ptr<THidDeviceController*> self = FSelf;
    FMainThread.Post([self] {
        if (auto alive = self.lock()) {
            THidDeviceController* controller = *alive;
            controller->FLoading = false;
            controller->Rebuild(true);
        }
    });
}

THidDeviceController::~THidDeviceController() {
    FDestroying = true;
    FSelf.reset();
    FDeviceChangeEvent = nullptr;
    FDevUnplugEvent = nullptr;
    FEnumerateEvent = nullptr;
    std::vector<THidDevice*> list;
    list.swap(FList);
    for (THidDevice* device : list) {
        device->FMyController = nullptr;
        if (device->FIsCheckedOut) {
            // It outlives the controller, unplugged and detached; its holder destroys it.
            device->UnplugStep();
        } else {
            delete device;
        }
    }
}

void THidDeviceController::SetOnDeviceChange(THidNotifyEvent handler) {
    FDeviceChangeEvent = std::move(handler);
    if (!FLoading && FAvailable && FDeviceChangeEvent)
        DeviceChange();
}

void THidDeviceController::SetOnDeviceData(THidDataEvent handler) {
    FDevDataEvent = std::move(handler);
    const std::vector<THidDevice*> list = FList;
    for (THidDevice* device : list) {
        if (device->FDataFromController) {
            device->SetOnData(FDevDataEvent);
            device->FDataFromController = true;
        }
    }
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent handler) {
    FDevUnplugEvent = std::move(handler);
    for (THidDevice* device : FList) {
        if (device->FIsPluggedIn) {
            device->FUnplug = FDevUnplugEvent;
        }
    }
}

void THidDeviceController::SetDevThreadSleepTime(int32_t milliseconds) {
    const int32_t old = FDevThreadSleepTime;
    FDevThreadSleepTime = milliseconds;
    for (THidDevice* device : FList) {
        if (device->ThreadSleepTime() == old)
            device->SetThreadSleepTime(milliseconds);
    }
}

THidDevice* THidDeviceController::ListItem(int32_t Idx) const {
    if (Idx < 0 || Idx >= ListCount())
        return nullptr;
    return FList[static_cast<size_t>(Idx)];
}

// Notifications

int THidDeviceController::NotificationFd() const {
    return FAvailable ? FPlatform.ChangeNotificationFd() : -1;
}

void THidDeviceController::HandleNotification() {
    if (!FAvailable)
        return;
    for (;;) {
        const IHidPlatform::Notice notice = FPlatform.TakeChangeNotification();
        if (notice == IHidPlatform::Notice::None)
            return;
        Rebuild(false);
    }
}

void THidDeviceController::Rebuild(bool announce) {
    if (FDestroying || FInDeviceChange)
        return;
    FlagScope inDeviceChange(FInDeviceChange);
    RebuildList(announce);
}

// The rebuild

std::vector<std::unique_ptr<THidDevice>> THidDeviceController::CollectPresentDevices() {
    std::vector<std::unique_ptr<THidDevice>> collected;
    if (!FAvailable)
        return collected;
    std::vector<HidInterfaceRecord> interfaces;
    if (!FPlatform.ListInterfaces(interfaces))
        return collected;
    for (HidInterfaceRecord& record : interfaces) {
        // An interface without a path opens nothing; the walk goes on with the next one.
        if (record.DevicePath.empty())
            continue;
        auto pnp = std::make_unique<THidPnPInfo>(std::move(record));
        std::unique_ptr<THidDevice> device(new THidDevice(std::move(pnp), this));
        collected.push_back(std::move(device));
    }
    return collected;
}

void THidDeviceController::DeviceChange() {
    RebuildList(false);
}

void THidDeviceController::RebuildList(bool announce) {
    bool changed = announce;
    // Nothing in the list changes before the collection has finished: an error here leaves the
    // list and the counters as they were, and the devices collected so far are released.
    std::vector<std::unique_ptr<THidDevice>> collected = CollectPresentDevices();

    // Missing devices, from the last list position down to the first.
    const std::vector<THidDevice*> snapshot = FList;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        THidDevice* device = *it;
        if (std::find(FList.begin(), FList.end(), device) == FList.end())
            continue;
        bool present = false;
        if (device->FIsPluggedIn) {
            for (const auto& candidate : collected) {
                if (candidate->PnPInfo().DeviceID() == device->PnPInfo().DeviceID()) {
                    present = true;
                    break;
                }
            }
        }
        if (present)
            continue;
        device->UnplugStep();
        if (FRemovalEvent) {
            FlagScope shown(device->FIsEnumerated);
            FRemovalEvent(device);
        }
        auto pos = std::find(FList.begin(), FList.end(), device);
        if (pos != FList.end() && !device->FIsCheckedOut) {
            FList.erase(pos);
            device->FMyController = nullptr;
            delete device;
        }
        changed = true;
    }

    // Duplicates: interfaces already listed and plugged in.
    for (auto& candidate : collected) {
        const uint32_t id = candidate->PnPInfo().DeviceID();
        const bool listed = std::any_of(FList.begin(), FList.end(), [&](THidDevice* device) {
            return device->FIsPluggedIn && device->PnPInfo().DeviceID() == id;
        });
        if (listed) {
            candidate->FMyController = nullptr;
            candidate.reset();
        }
    }

    // Arrivals, in collection order.
    for (auto& candidate : collected) {
        if (!candidate)
            continue;
        THidDevice* device = candidate.release();
        FList.push_back(device);
        changed = true;
        if (FArrivalEvent) {
            {
                FlagScope shown(device->FIsEnumerated);
                device->SyncAccess();
                FArrivalEvent(device);
            }
            device->SyncAccess();
        }
    }
    collected.clear();
    Recount();
    if (changed && FDeviceChangeEvent) {
        THidNotifyEvent handler = FDeviceChangeEvent;
        handler(this);
    }
}

void THidDeviceController::Recount() {
    int32_t checkedIn = 0;
    int32_t checkedOut = 0;
    int32_t unplugged = 0;
    for (THidDevice* device : FList) {
        if (device->FIsCheckedOut) {
            ++checkedOut;
        } else {
            ++checkedIn;
        }
        if (!device->FIsPluggedIn)
            ++unplugged;
    }
    FNumCheckedInDevices = checkedIn;
    FNumCheckedOutDevices = checkedOut - unplugged;
    FNumUnpluggedDevices = unplugged;
}

// Enumeration and check-out

bool THidDeviceController::EnumerateStep(int32_t Idx) {
    if (!FEnumerateEvent)
        return false;
    THidDevice* device = FList[static_cast<size_t>(Idx)];
    THidEnumerateEvent handler = FEnumerateEvent;
    bool result;
    {
        FlagScope shown(device->FIsEnumerated);
        device->SyncAccess();
        result = handler(device, Idx);
    }
    // The handler may have destroyed the device it checked out.
    if (std::find(FList.begin(), FList.end(), device) != FList.end()) {
        device->SyncAccess();
        if (!device->FIsCheckedOut)
            device->CloseAllHandles();
    }
    return result;
}

int32_t THidDeviceController::Enumerate() {
    int32_t shown = 0;
    const size_t count = FList.size();
    for (size_t i = 0; i < count && i < FList.size(); ++i) {
        if (!FList[i]->FIsPluggedIn)
            continue;
        ++shown;
        if (!EnumerateStep(static_cast<int32_t>(i)))
            break;
    }
    return shown;
}

bool THidDeviceController::CheckOutStep(THidDevice*& HidDev, int32_t Idx, bool Wish) {
    THidDevice* device = FList[static_cast<size_t>(Idx)];
    if (!Wish || device->FIsCheckedOut)
        return false;
    HidDev = device;
    device->FIsCheckedOut = true;
    ++FNumCheckedOutDevices;
    --FNumCheckedInDevices;
    device->SyncAccess();
    device->StartThreadIfReady();
    return true;
}

bool THidDeviceController::CheckOutByIndex(THidDevice*& HidDev, int32_t Idx) {
    HidDev = nullptr;
    if (Idx < 0 || Idx >= ListCount())
        return false;
    return CheckOutStep(HidDev, Idx, true);
}

bool THidDeviceController::CheckOut(THidDevice*& HidDev) {
    HidDev = nullptr;
    for (int32_t i = 0; i < ListCount(); ++i) {
        if (!FList[static_cast<size_t>(i)]->FIsCheckedOut)
            return CheckOutStep(HidDev, i, true);
    }
    return false;
}

bool THidDeviceController::CheckOutByID(THidDevice*& HidDev, int32_t Vid, int32_t Pid) {
    HidDev = nullptr;
    for (int32_t i = 0; i < ListCount(); ++i) {
        THidDevice* device = FList[static_cast<size_t>(i)];
        const bool match = device->FAttributes.VendorID == Vid &&
                           (Pid == -1 || device->FAttributes.ProductID == Pid);
        if (!device->FIsCheckedOut && match)
            return CheckOutStep(HidDev, i, true);
    }
    return false;
}

bool THidDeviceController::CheckOutByClass(THidDevice*& HidDev, const std::string& ClassName) {
    HidDev = nullptr;
    if (ClassName.empty())
        return false;
    for (int32_t i = 0; i < ListCount(); ++i) {
        THidDevice* device = FList[static_cast<size_t>(i)];
        if (!device->FIsCheckedOut && device->PnPInfo().ClassDescr() == ClassName) {
            return CheckOutStep(HidDev, i, true);
        }
    }
    return false;
}

// The device's strings can only be asked while it is accessible: it is shown for the question,
// and an unchecked device's handles are closed again afterwards.
bool THidDeviceController::CallCheck(THidDevice* device, THidCheckCallback Check) {
    bool result;
    {
        FlagScope shown(device->FIsEnumerated);
        device->SyncAccess();
        result = Check(device);
    }
    device->SyncAccess();
    if (!device->FIsCheckedOut)
        device->CloseAllHandles();
    return result;
}

namespace {

bool ProductNameIs(THidDevice* device, const std::string& name) {
    return device->ProductName() == name;
}

bool VendorNameIs(THidDevice* device, const std::string& name) {
    return device->VendorName() == name;
}

}  // namespace

bool THidDeviceController::CheckOutByProductName(THidDevice*& HidDev,
                                                 const std::string& ProductName) {
    return CheckOutFirstNamed(HidDev, ProductName, ProductNameIs);
}

bool THidDeviceController::CheckOutByVendorName(THidDevice*& HidDev,
                                                const std::string& VendorName) {
    return CheckOutFirstNamed(HidDev, VendorName, VendorNameIs);
}

bool THidDeviceController::CheckOutFirstNamed(THidDevice*& HidDev, const std::string& name,
                                              bool (*nameIs)(THidDevice*, const std::string&)) {
    HidDev = nullptr;
    if (name.empty())
        return false;
    for (int32_t i = 0; i < ListCount(); ++i) {
        THidDevice* device = FList[static_cast<size_t>(i)];
        if (device->FIsCheckedOut)
            continue;
        bool match;
        {
            FlagScope shown(device->FIsEnumerated);
            device->SyncAccess();
            match = nameIs(device, name);
        }
        device->SyncAccess();
        if (match)
            return CheckOutStep(HidDev, i, true);
    }
    return false;
}

bool THidDeviceController::CheckOutByCallback(THidDevice*& HidDev, THidCheckCallback Check) {
    HidDev = nullptr;
    if (!Check)
        return false;
    for (int32_t i = 0; i < ListCount(); ++i) {
        THidDevice* device = FList[static_cast<size_t>(i)];
        if (device->FIsCheckedOut)
            continue;
        if (CallCheck(device, Check))
            return CheckOutStep(HidDev, i, true);
    }
    return false;
}

void THidDeviceController::CheckIn(THidDevice*& HidDev) {
    THidDevice* device = HidDev;
    if (!device)
        return;
    HidDev = nullptr;
    device->StopThread(false);
    device->CloseAllHandles();
    if (device->FIsPluggedIn) {
        if (device->FIsCheckedOut) {
            device->FIsCheckedOut = false;
            --FNumCheckedOutDevices;
            ++FNumCheckedInDevices;
        }
        device->SyncAccess();
    } else {
        delete device;
    }
}

// Counting

int32_t THidDeviceController::CountByID(int32_t Vid, int32_t Pid) {
    int32_t n = 0;
    for (THidDevice* device : FList) {
        if (device->FIsPluggedIn && device->FAttributes.VendorID == Vid &&
            (Pid == -1 || device->FAttributes.ProductID == Pid)) {
            ++n;
        }
    }
    return n;
}

int32_t THidDeviceController::CountByClass(const std::string& ClassName) {
    int32_t n = 0;
    for (THidDevice* device : FList) {
        if (device->FIsPluggedIn && device->PnPInfo().ClassDescr() == ClassName)
            ++n;
    }
    return n;
}

int32_t THidDeviceController::CountByProductName(const std::string& ProductName) {
    return CountNamed(ProductName, ProductNameIs);
}

int32_t THidDeviceController::CountByVendorName(const std::string& VendorName) {
    return CountNamed(VendorName, VendorNameIs);
}

int32_t THidDeviceController::CountNamed(const std::string& name,
                                         bool (*nameIs)(THidDevice*, const std::string&)) {
    int32_t n = 0;
    for (THidDevice* device : FList) {
        if (!device->FIsPluggedIn)
            continue;
        FlagScope shown(device->FIsEnumerated);
        device->SyncAccess();
        if (nameIs(device, name))
            ++n;
    }
    for (THidDevice* device : FList)
        device->SyncAccess();
    return n;
}

int32_t THidDeviceController::CountByCallback(THidCheckCallback Check) {
    int32_t n = 0;
    if (!Check)
        return 0;
    const std::vector<THidDevice*> list = FList;
    for (THidDevice* device : list) {
        if (device->FIsPluggedIn && CallCheck(device, Check))
            ++n;
    }
    return n;
}

// Destruction of a device by its holder, by CheckIn or by the controller.

void THidDeviceController::DeviceDestroyed(THidDevice* device, const Inheritance& inherited) {
    auto pos = std::find(FList.begin(), FList.end(), device);
    if (pos == FList.end())
        return;
    if (!device->FIsPluggedIn) {
        FList.erase(pos);
        --FNumUnpluggedDevices;
        return;
    }
    const bool wasCheckedOut = device->FIsCheckedOut;
    if (wasCheckedOut) {
        --FNumCheckedOutDevices;
        ++FNumCheckedInDevices;
    }
    // The interface is still there: a fresh, checked-in object takes the same place. Opening it
    // can fail (it vanished a moment ago); a destructor cannot raise, so the place is then
    // given up, and the next rebuild lists the interface again if it is still present.
    try {
        auto* fresh = new THidDevice(std::move(device->FPnPInfo), this);
        fresh->FData = inherited.data;
        fresh->FDataFromController = inherited.dataFromController;
        fresh->SetThreadSleepTime(inherited.sleepTime);
        *pos = fresh;
    } catch (...) {
        FList.erase(pos);
        --FNumCheckedInDevices;
    }
}

}  // namespace halvik
