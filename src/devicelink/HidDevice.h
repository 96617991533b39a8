// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devicelink/HidEvents.h"
#include "devicelink/HidPnPInfo.h"
#include "devicelink/HidTypes.h"

namespace halvik {

class IHidHandle;
class IHidPlatform;
class IMainThread;
class HidReadChannel;

// The report reader of one device: a thread that keeps one input-report read outstanding and
// hands every received report to the device's OnData handler on the main thread, waiting until
// the handler has returned. Made, started and destroyed by its device only.
class THidDeviceReadThread {
  public:
    // Raises EControllerError: only a device makes its reader.
    THidDeviceReadThread();
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

  private:
    friend class THidDevice;
    struct State;

    THidDeviceReadThread(THidDevice* device, std::shared_ptr<HidReadChannel> channel,
                         uint16_t reportLength, IMainThread& mainThread);
    // The stop procedure (main thread): tells the thread to stop and waits for it while running
    // handed-over calls, so a reader blocked in a hand-over always reaches its stop test.
    std::exception_ptr Stop();
    static void Run(std::shared_ptr<State> s);
    static void HandOver(const std::shared_ptr<State>& s, bool delivery);
    static void ReportErrorAndPause(const std::shared_ptr<State>& s, int error);

    std::shared_ptr<State> S;
    std::thread T;
};

// One HID device interface. Only the controller creates devices; a device that has been checked
// out belongs to its holder, which destroys it with `delete` (its place in the controller's list
// is then taken by a fresh, checked-in object when the device is still plugged in).
//
// All members are for the main thread.
class THidDevice {
  public:
    // Raises EControllerError: only the controller creates devices.
    THidDevice();
    ~THidDevice();
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    // Identity and state.
    const THidAttributes& Attributes() const { return FAttributes; }
    bool IsPluggedIn() const { return FIsPluggedIn; }
    bool IsCheckedOut() const { return FIsCheckedOut; }
    const THidPnPInfo& PnPInfo() const { return *FPnPInfo; }
    THidDeviceController* MyController() const { return FMyController; }
    bool HasReadWriteAccess() const { return FHasReadWriteAccess; }
    int32_t Tag = 0;  // free for the holder's use

    // Checks this device out of its controller (plugged in, not checked out); true when it did.
    bool CheckOut();

    // Capabilities from the device's report descriptor; all 0 when it cannot be had. Each read
    // works them out again from the descriptor, which is fetched once.
    THidCaps Caps();
    const THidPreparsedData* PreparsedData();

    // Writes exactly ToWrite bytes of Report as one output report (byte 0 is the report ID).
    // Never raises; false when the device is unplugged, not checked out, cannot be opened, or
    // the system refused the write.
    bool WriteFile(const void* Report, uint32_t ToWrite, uint32_t& BytesWritten);

    // The input-report handler. Setting a handler on a checked-out, plugged-in device with read
    // and write access starts its reader; swapping handlers leaves the reader running; setting
    // an empty handler stops it.
    const THidDataEvent& OnData() const { return FData; }
    void SetOnData(THidDataEvent handler);
    const THidDataErrorEvent& OnDataError() const { return FDataError; }
    void SetOnDataError(THidDataErrorEvent handler) { FDataError = std::move(handler); }
    // The unplug handler is the controller's OnDeviceUnplug.
    const THidPlugEvent& OnUnplug() const { return FUnplug; }

    // The reader's wake-up slice in milliseconds (10 to 10000; other values are ignored).
    int32_t ThreadSleepTime() const;
    void SetThreadSleepTime(int32_t milliseconds);
    // Whether a reader runs now.
    bool IsReading() const { return FDataThread != nullptr; }

    // Handles, opened on demand while the device is accessible.
    bool OpenFile();
    void CloseFile();

    // The device's strings (UTF-8), asked while accessible and then cached; empty otherwise.
    std::string VendorName();
    std::string ProductName();

  private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;

    THidDevice(std::unique_ptr<THidPnPInfo> pnpInfo, THidDeviceController* controller);
    bool IsAccessible() const;
    void SyncAccess();
    void StartThreadIfReady();
    void StartThread();
    // Stops the reader; an exception a handler raised during the stop is rethrown afterwards
    // when `rethrow` is set.
    void StopThread(bool rethrow);
    void CloseAllHandles();
    void UnplugStep();
    // A delivery and an error call of the reader, on the main thread.
    void DeliverReport(const uint8_t* report, uint32_t size);
    void ReportReadError(uint32_t error);

    IHidPlatform* FPlatform = nullptr;
    IMainThread* FMainThread = nullptr;
    THidDeviceController* FMyController = nullptr;
    bool FIsPluggedIn = true;
    bool FIsCheckedOut = false;
    bool FIsEnumerated = false;
    std::unique_ptr<IHidHandle> FHidFileHandle;
    std::shared_ptr<HidReadChannel> FHidOverlappedRead;  // the read handle, shared with the reader
    THidAttributes FAttributes;
    std::unique_ptr<THidPnPInfo> FPnPInfo;
    std::string FVendorName;
    std::string FProductName;
    std::unique_ptr<THidPreparsedData> FPreparsedData;
    bool FPreparsedDataFetched = false;
    THidDataEvent FData;
    THidDataErrorEvent FDataError;
    THidPlugEvent FUnplug;
    // Whether the handlers are still the ones the controller gave at creation.
    bool FDataFromController = true;
    bool FHasReadWriteAccess = false;
    std::unique_ptr<THidDeviceReadThread> FDataThread;
};

}  // namespace halvik
