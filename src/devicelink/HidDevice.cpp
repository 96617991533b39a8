// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/HidDevice.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "devicelink/HidDeviceController.h"
#include "devicelink/HidPlatform.h"
#include "devicelink/MainThread.h"

namespace halvik {

// The device's read handle, shared between the device (main thread) and its reader thread. The
// reader opens it when it starts a read; the main thread may close it at any time (unplug,
// check-in), which cancels a read under way and waits until the reader has let go of it.
class HidReadChannel {
  public:
    HidReadChannel(IHidPlatform& platform, std::string path)
        : platform_(platform), path_(std::move(path)) {}

    std::atomic<int32_t> sleepTime{100};
    // Plugged in and checked out (or being shown): the reader may open the handle.
    std::atomic<bool> accessible{false};

    // Reader: starts a read, opening the handle when needed. `current` keeps the handle alive
    // for the length of the read, even when the main thread closes it meanwhile.
    bool Begin(int& error, std::shared_ptr<IHidHandle>& current) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!handle_) {
            if (!accessible.load() || gone_) {
                error = ENODEV;
                return false;
            }
            std::shared_ptr<IHidHandle> opened = platform_.Open(path_, THidAccess::Read, error);
            if (!opened)
                return false;
            handle_ = std::move(opened);
        }
        current = handle_;
        reading_ = handle_;
        return true;
    }
    // Reader: the read has ended. A device that is gone for good gives up its handle, so that
    // every later read fails to start instead of failing at once over and over.
    void End(const HidReadResult& result, std::shared_ptr<IHidHandle>& current) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (result.status == HidReadResult::Failed &&
            (result.error == ENODEV || result.error == EIO || result.error == ESHUTDOWN)) {
            gone_ = true;
            if (handle_ == current)
                handle_.reset();
        }
        reading_.reset();
        current.reset();
    }

    // Main thread.
    bool Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!handle_ && accessible.load() && !gone_) {
            int error = 0;
            handle_ = platform_.Open(path_, THidAccess::Read, error);
        }
        return handle_ != nullptr;
    }
    // Closes the handle. A read under way on it is cancelled and ends at once; the handle itself
    // goes when that read has ended.
    void Close() {
        std::shared_ptr<IHidHandle> closing;
        std::lock_guard<std::mutex> lock(mutex_);
        closing = std::move(handle_);
        if (closing && reading_ == closing)
            closing->CancelRead();
    }
    // Cancels the read under way; false when the handle is closed.
    bool Cancel() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (reading_)
            reading_->CancelRead();
        return handle_ != nullptr;
    }
    bool IsOpen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return handle_ != nullptr;
    }

  private:
    IHidPlatform& platform_;
    const std::string path_;
    std::mutex mutex_;
    std::shared_ptr<IHidHandle> handle_;
    std::shared_ptr<IHidHandle> reading_;  // the handle a read is under way on
    bool gone_ = false;
};

// ---------------------------------------------------------------------------------------------
// The reader

struct THidDeviceReadThread::State {
    THidDevice* Device = nullptr;  // used only inside handed-over calls, on the main thread
    std::shared_ptr<HidReadChannel> Channel;
    IMainThread* MainThread = nullptr;
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Finished{false};
    // The reader's pause after a read that failed or could not start; the stop ends it early.
    std::mutex PaceMutex;
    std::condition_variable Pace;
    // Main thread only: a handed-over call of this reader is running now; the device was
    // destroyed from inside it.
    bool InHandOver = false;
    std::atomic<bool> Detached{false};
    // Written by the reader, read by the main thread only inside handed-over calls.
    uint32_t FErr = 0;
    uint32_t NumBytesRead = 0;
    std::vector<uint8_t> Report;
};

THidDeviceReadThread::THidDeviceReadThread() {
    throw EControllerError("Direct creation of a TDeviceReadThread object is not allowed");
}

THidDeviceReadThread::THidDeviceReadThread(THidDevice* device,
                                           std::shared_ptr<HidReadChannel> channel,
                                           uint16_t reportLength, IMainThread& mainThread)
    : S(std::make_shared<State>()) {
    S->Device = device;
    S->Channel = std::move(channel);
    S->MainThread = &mainThread;
    S->Report.assign(reportLength, 0);
    T = std::thread(&THidDeviceReadThread::Run, S);
}

THidDeviceReadThread::~THidDeviceReadThread() {
    if (T.joinable()) {
        std::exception_ptr ignored = Stop();
        (void)ignored;
    }
}

std::exception_ptr THidDeviceReadThread::Stop() {
    std::exception_ptr failure;
    if (!T.joinable())
        return failure;
    {
        std::lock_guard<std::mutex> lock(S->PaceMutex);
        S->Terminated = true;
    }
    S->Pace.notify_all();
    S->Channel->Cancel();  // a read under way ends now rather than at the end of its slice
    if (S->InHandOver) {
        // Destroyed from inside one of its own handed-over calls: the reader is blocked in that
        // very hand-over, so it cannot be waited for here. It ends by itself as soon as the call
        // returns and no longer touches the device.
        S->Detached = true;
        T.detach();
        return failure;
    }
    for (;;) {
        try {
            S->MainThread->RunPendingUntil([s = S] { return s->Finished.load(); });
            break;
        } catch (...) {
            // A handler raised during the stop: the stop goes on all the same.
            if (!failure)
                failure = std::current_exception();
        }
    }
    T.join();
    return failure;
}

void THidDeviceReadThread::HandOver(const std::shared_ptr<State>& s, bool delivery) {
    s->MainThread->PostAndWait([s, delivery] {
        if (s->Detached)
            return;
        s->InHandOver = true;
        struct Reset {
            State* s;
            ~Reset() { s->InHandOver = false; }
        } reset{s.get()};
        if (delivery) {
            s->Device->DeliverReport(s->Report.data(), s->NumBytesRead);
        } else {
            s->Device->ReportReadError(s->FErr);
        }
    });
}

// Says a read error to the holder, then waits one read slice (or until the stop) before the next
// try: a device that keeps failing, or is gone while no unplug notice comes, is asked again at
// the pace of the reads instead of in a loop that keeps a core and the main thread busy.
void THidDeviceReadThread::ReportErrorAndPause(const std::shared_ptr<State>& s, int error) {
    s->FErr = static_cast<uint32_t>(error);
    HandOver(s, false);
    std::unique_lock<std::mutex> lock(s->PaceMutex);
    s->Pace.wait_for(lock, std::chrono::milliseconds(s->Channel->sleepTime.load()),
                     [&] { return s->Terminated.load(); });
}

void THidDeviceReadThread::Run(std::shared_ptr<State> s) {
    pthread_setname_np(pthread_self(), "HidReadThread");
    HidReadChannel& channel = *s->Channel;
    while (!s->Terminated.load()) {
        std::fill(s->Report.begin(), s->Report.end(), 0);
        int error = 0;
        std::shared_ptr<IHidHandle> handle;
        if (!channel.Begin(error, handle)) {
            ReportErrorAndPause(s, error);
            continue;
        }
        HidReadResult result;
        for (;;) {
            result = handle->Read(s->Report.data(), static_cast<uint32_t>(s->Report.size()),
                                  channel.sleepTime.load());
            if (result.status != HidReadResult::Timeout || s->Terminated.load())
                break;
        }
        channel.End(result, handle);
        // A report read after the stop request is not delivered.
        if (s->Terminated.load())
            break;
        if (result.status == HidReadResult::Failed) {
            // A failed read is said as a read that could not start is: the holder decides
            // whether the device is gone or failing.
            ReportErrorAndPause(s, result.error);
            continue;
        }
        s->NumBytesRead = result.status == HidReadResult::Data
                              ? std::min<uint32_t>(result.bytes, s->Report.size())
                              : 0;
        if (s->NumBytesRead > 0)
            HandOver(s, true);
    }
    // A detached reader has nobody waiting for it, and the hand-over may already be gone.
    const bool detached = s->Detached.load();
    s->Finished = true;
    if (!detached)
        s->MainThread->Wake();
}

// ---------------------------------------------------------------------------------------------
// The device

THidDevice::THidDevice() {
    throw EControllerError("Direct creation of a THidDevice object is not allowed");
}

THidDevice::THidDevice(std::unique_ptr<THidPnPInfo> pnpInfo, THidDeviceController* controller)
    : FPlatform(&controller->FPlatform),
      FMainThread(&controller->FMainThread),
      FMyController(controller),
      FPnPInfo(std::move(pnpInfo)) {
    FHidOverlappedRead = std::make_shared<HidReadChannel>(*FPlatform, FPnPInfo->DevicePath());
    FData = controller->FDevDataEvent;
    FUnplug = controller->FDevUnplugEvent;
    int error = 0;
    std::unique_ptr<IHidHandle> handle =
        FPlatform->Open(FPnPInfo->DevicePath(), THidAccess::ReadWrite, error);
    FHasReadWriteAccess = handle != nullptr;
    if (!handle)
        handle = FPlatform->Open(FPnPInfo->DevicePath(), THidAccess::None, error);
    if (!handle)
        throw EControllerError("Device cannot be opened");
    FAttributes = THidAttributes{};
    if (!handle->GetAttributes(FAttributes)) {
        throw EControllerError("Device cannot be identified");
    }
    FAttributes.Size = 12;
}

THidDevice::~THidDevice() {
    THidDeviceController::Inheritance inherited;
    inherited.data = FData;
    inherited.dataFromController = FDataFromController;
    inherited.sleepTime = ThreadSleepTime();
    StopThread(false);
    FData = nullptr;
    FUnplug = nullptr;
    CloseAllHandles();
    FPreparsedData.reset();
    if (FMyController)
        FMyController->DeviceDestroyed(this, inherited);
}

bool THidDevice::IsAccessible() const {
    return FIsPluggedIn && (FIsCheckedOut || FIsEnumerated);
}

void THidDevice::SyncAccess() {
    FHidOverlappedRead->accessible = IsAccessible();
}

bool THidDevice::CheckOut() {
    if (!FMyController || !FIsPluggedIn || FIsCheckedOut)
        return false;
    const auto& list = FMyController->FList;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end())
        return false;
    THidDevice* out = nullptr;
    return FMyController->CheckOutStep(out, static_cast<int32_t>(it - list.begin()), true);
}

int32_t THidDevice::ThreadSleepTime() const {
    return FHidOverlappedRead->sleepTime.load();
}

void THidDevice::SetThreadSleepTime(int32_t milliseconds) {
    if (milliseconds >= 10 && milliseconds <= 10000)
        FHidOverlappedRead->sleepTime = milliseconds;
}

// Handles

bool THidDevice::OpenFile() {
    if (!FHidFileHandle && IsAccessible()) {
        int error = 0;
        FHidFileHandle = FPlatform->Open(FPnPInfo->DevicePath(), THidAccess::ReadWrite, error);
        FHasReadWriteAccess = FHidFileHandle != nullptr;
        if (!FHidFileHandle) {
            FHidFileHandle = FPlatform->Open(FPnPInfo->DevicePath(), THidAccess::None, error);
        }
    }
    return FHidFileHandle != nullptr;
}

void THidDevice::CloseFile() {
    FHidFileHandle.reset();
}

void THidDevice::CloseAllHandles() {
    CloseFile();
    FHidOverlappedRead->Close();
}

const THidPreparsedData* THidDevice::PreparsedData() {
    if (!FPreparsedDataFetched && OpenFile()) {
        auto data = std::make_unique<THidPreparsedData>();
        if (FHidFileHandle->GetPreparsedData(*data)) {
            FPreparsedData = std::move(data);
            FPreparsedDataFetched = true;
        }
        CloseFile();
    }
    return FPreparsedData.get();
}

THidCaps THidDevice::Caps() {
    const THidPreparsedData* data = PreparsedData();
    return data ? data->Caps : THidCaps{};
}

bool THidDevice::WriteFile(const void* Report, uint32_t ToWrite, uint32_t& BytesWritten) {
    BytesWritten = 0;
    if (!OpenFile())
        return false;
    int error = 0;
    uint32_t written = 0;
    const bool ok =
        FHidFileHandle->Write(static_cast<const uint8_t*>(Report), ToWrite, written, error);
    BytesWritten = ok ? written : 0;
    return ok;
}

namespace {

// A cached device string: asked while it is empty and the device can be opened, and the
// handle closed again afterwards.
template <typename Getter>
std::string CachedString(THidDevice& device, std::unique_ptr<IHidHandle>& handle,
                         std::string& cache, Getter get) {
    if (cache.empty() && device.OpenFile()) {
        std::string text;
        if (get(*handle, text))
            cache = text;
        device.CloseFile();
    }
    return cache;
}

}  // namespace

std::string THidDevice::VendorName() {
    return CachedString(*this, FHidFileHandle, FVendorName,
                        [](IHidHandle& h, std::string& t) { return h.GetManufacturerString(t); });
}

std::string THidDevice::ProductName() {
    return CachedString(*this, FHidFileHandle, FProductName,
                        [](IHidHandle& h, std::string& t) { return h.GetProductString(t); });
}

// The reader

void THidDevice::SetOnData(THidDataEvent handler) {
    if (!handler) {
        StopThread(true);
        FData = nullptr;
    } else {
        FData = std::move(handler);
    }
    FDataFromController = false;
    StartThreadIfReady();
}

void THidDevice::StartThreadIfReady() {
    if (FData && FIsPluggedIn && FIsCheckedOut && FHasReadWriteAccess && !FDataThread) {
        StartThread();
    }
}

void THidDevice::StartThread() {
    const uint16_t length = Caps().InputReportByteLength;
    SyncAccess();
    // Opened here rather than by the thread: reports that arrive from now on queue for it.
    FHidOverlappedRead->Open();
    FDataThread.reset(new THidDeviceReadThread(this, FHidOverlappedRead, length, *FMainThread));
}

void THidDevice::StopThread(bool rethrow) {
    if (!FDataThread)
        return;
    std::exception_ptr failure = FDataThread->Stop();
    FDataThread.reset();
    if (failure && rethrow)
        std::rethrow_exception(failure);
}

void THidDevice::DeliverReport(const uint8_t* report, uint32_t size) {
    // A copy: the handler may replace itself, or destroy the device, while it runs.
    THidDataEvent handler = FData;
    if (handler && size > 0) {
        handler(this, report[0], report + 1, static_cast<uint16_t>(size - 1));
    }
}

void THidDevice::ReportReadError(uint32_t error) {
    THidDataErrorEvent handler = FDataError;
    if (handler)
        handler(this, error);
}

void THidDevice::UnplugStep() {
    // Not accessible first, so that the reader cannot open the read handle again once closed.
    FIsPluggedIn = false;
    SyncAccess();
    CloseAllHandles();
    THidPlugEvent handler = std::move(FUnplug);
    FUnplug = nullptr;
    if (handler)
        handler(this);
}

}  // namespace halvik
