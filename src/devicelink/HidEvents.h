// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

namespace halvik {

class THidDevice;
class THidDeviceController;

// Event types of the device link. Every event runs on the main thread. An empty callable means
// "no handler".

// Called for each plugged-in device by Enumerate; return true to go on, false to stop.
using THidEnumerateEvent = std::function<bool(THidDevice* HidDev, int32_t Idx)>;
// A device arrived, was found missing, or (OnUnplug) was unplugged.
using THidPlugEvent = std::function<void(THidDevice* HidDev)>;
// The controller's notification (OnDeviceChange), with the controller as sender.
using THidNotifyEvent = std::function<void(THidDeviceController* Sender)>;
// One input report: ReportID is its first byte, Data points at the byte after it and Size counts
// the bytes from Data on. Data is valid only during the call.
using THidDataEvent =
    std::function<void(THidDevice* HidDev, uint8_t ReportID, const uint8_t* Data, uint16_t Size)>;
// A read could not be started or failed; Error is the platform's errno-style code.
using THidDataErrorEvent = std::function<void(THidDevice* HidDev, uint32_t Error)>;
// A check for CheckOutByCallback and CountByCallback: a plain function, not bound to an object.
using THidCheckCallback = bool (*)(THidDevice* HidDev);

}  // namespace halvik
