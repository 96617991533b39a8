// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/sim/SimHidPlatform.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>

namespace halvik {

struct SimHidPlatform::Device {
    uint32_t id = 0;
    DeviceSpec deviceSpec;
    std::string path;
    bool present = true;
    bool openReadWrite = true;
    bool openNoAccess = true;
    bool identifiable = true;
    bool descriptor = true;
    bool vanishOnOpen = false;
    bool writeAccepted = true;
    int readError = 0;
    std::deque<std::vector<uint8_t>> queue;
    std::size_t dropped = 0;
    int handles = 0;
    int readableHandles = 0;
    int readsInProgress = 0;
    std::function<bool(std::vector<uint8_t>&)> source;
    std::vector<std::vector<uint8_t>> written;
    std::function<void(const std::vector<uint8_t>&)> outputHandler;
};

struct SimHidPlatform::Shared {
    std::mutex m;
    std::condition_variable changed;  // input arrived, a device left, a read was cancelled
    std::map<uint32_t, std::shared_ptr<Device>> devices;
    std::vector<uint32_t> order;  // present devices, in plug order
    uint32_t nextId = 1;
    bool available = true;
    bool listingRefused = false;
    std::size_t capacity = 64;
    int pipe[2] = {-1, -1};

    std::shared_ptr<Device> Find(uint32_t id) {
        auto it = devices.find(id);
        return it == devices.end() ? nullptr : it->second;
    }
    void Remove(Device& device) {
        device.present = false;
        order.erase(std::remove(order.begin(), order.end(), device.id), order.end());
        changed.notify_all();
    }
};

namespace {

bool CanRead(THidAccess access) {
    return access == THidAccess::ReadWrite || access == THidAccess::Read;
}

bool CanWrite(THidAccess access) {
    return access == THidAccess::ReadWrite || access == THidAccess::Write;
}

}  // namespace

class SimHidPlatform::Handle : public IHidHandle {
  public:
    Handle(std::shared_ptr<Shared> shared, std::shared_ptr<Device> device, THidAccess access)
        : s_(std::move(shared)), d_(std::move(device)), access_(access) {}

    ~Handle() override {
        std::lock_guard<std::mutex> lock(s_->m);
        --d_->handles;
        if (CanRead(access_) && --d_->readableHandles == 0)
            d_->queue.clear();
    }

    bool GetAttributes(THidAttributes& attributes) override {
        std::lock_guard<std::mutex> lock(s_->m);
        if (!d_->present || !d_->identifiable)
            return false;
        attributes.VendorID = d_->deviceSpec.VendorID;
        attributes.ProductID = d_->deviceSpec.ProductID;
        attributes.VersionNumber = d_->deviceSpec.VersionNumber;
        return true;
    }

    bool GetPreparsedData(THidPreparsedData& data) override {
        std::lock_guard<std::mutex> lock(s_->m);
        if (!d_->present || !d_->descriptor)
            return false;
        data = THidPreparsedData{};
        data.Caps.UsagePage = 0xFF00;
        data.Caps.Usage = 0x0001;
        data.Caps.InputReportByteLength = d_->deviceSpec.InputReportByteLength;
        data.Caps.OutputReportByteLength = d_->deviceSpec.OutputReportByteLength;
        data.Caps.FeatureReportByteLength = d_->deviceSpec.FeatureReportByteLength;
        data.Caps.NumberLinkCollectionNodes = 1;
        data.NumberedReports = d_->deviceSpec.NumberedReports;
        return true;
    }

    bool Write(const uint8_t* report, uint32_t size, uint32_t& written, int& error) override {
        written = 0;
        std::function<void(const std::vector<uint8_t>&)> handler;
        std::vector<uint8_t> copy(report, report + size);
        {
            std::lock_guard<std::mutex> lock(s_->m);
            if (!d_->present) {
                error = ENODEV;
                return false;
            }
            if (!CanWrite(access_)) {
                error = EBADF;
                return false;
            }
            if (size < 2) {  // hidraw refuses a write without a report byte
                error = EINVAL;
                return false;
            }
            if (!d_->writeAccepted) {
                error = EIO;
                return false;
            }
            d_->written.push_back(copy);
            handler = d_->outputHandler;
        }
        written = size;
        if (handler)
            handler(copy);
        return true;
    }

    HidReadResult Read(uint8_t* buffer, uint32_t capacity, int timeoutMs) override {
        HidReadResult result;
        std::unique_lock<std::mutex> lock(s_->m);
        if (!CanRead(access_)) {
            result.error = EBADF;
            return result;
        }
        ++d_->readsInProgress;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        std::vector<uint8_t> report;
        for (;;) {
            if (cancelled_) {
                cancelled_ = false;
                result.status = HidReadResult::Cancelled;
                break;
            }
            if (d_->readError != 0) {
                result.status = HidReadResult::Failed;
                result.error = d_->readError;
                break;
            }
            if (!d_->queue.empty()) {
                report = std::move(d_->queue.front());
                d_->queue.pop_front();
                result.status = HidReadResult::Data;
                break;
            }
            if (!d_->present) {
                result.status = HidReadResult::Failed;
                result.error = ENODEV;
                break;
            }
            if (d_->source && d_->source(report)) {
                result.status = HidReadResult::Data;
                break;
            }
            if (timeoutMs < 0) {
                s_->changed.wait(lock);
            } else if (s_->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
                result.status = HidReadResult::Timeout;
                break;
            }
        }
        if (result.status == HidReadResult::Data) {
            // As hidraw gives it to the device layer: the report-ID byte, then the report.
            uint32_t n = 0;
            if (!d_->deviceSpec.NumberedReports && capacity > 0)
                buffer[n++] = 0;
            const uint32_t take =
                std::min<uint32_t>(static_cast<uint32_t>(report.size()), capacity - n);
            if (take > 0)
                std::memcpy(buffer + n, report.data(), take);
            result.bytes = n + take;
        }
        --d_->readsInProgress;
        return result;
    }

    void CancelRead() override {
        std::lock_guard<std::mutex> lock(s_->m);
        cancelled_ = true;
        s_->changed.notify_all();
    }

    bool GetManufacturerString(std::string& text) override {
        return String(d_->deviceSpec.Manufacturer, text);
    }
    bool GetProductString(std::string& text) override {
        return String(d_->deviceSpec.Product, text);
    }

  private:
    bool String(const std::string& value, std::string& text) {
        std::lock_guard<std::mutex> lock(s_->m);
        if (!d_->present || value.empty())
            return false;
        text = value;
        return true;
    }

    std::shared_ptr<Shared> s_;
    std::shared_ptr<Device> d_;
    THidAccess access_;
    bool cancelled_ = false;  // guarded by s_->m
};

SimHidPlatform::SimHidPlatform() : S(std::make_shared<Shared>()) {
    if (::pipe2(S->pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        S->pipe[0] = S->pipe[1] = -1;
}

SimHidPlatform::~SimHidPlatform() {
    if (S->pipe[0] >= 0)
        ::close(S->pipe[0]);
    if (S->pipe[1] >= 0)
        ::close(S->pipe[1]);
}

void SimHidPlatform::PushNotice(char kind) {
    if (S->pipe[1] >= 0) {
        ssize_t n = ::write(S->pipe[1], &kind, 1);
        (void)n;
    }
}

void SimHidPlatform::SetAvailable(bool available) {
    std::lock_guard<std::mutex> lock(S->m);
    S->available = available;
}

void SimHidPlatform::SetListingRefused(bool refused) {
    std::lock_guard<std::mutex> lock(S->m);
    S->listingRefused = refused;
}

uint32_t SimHidPlatform::Plug(const DeviceSpec& deviceSpec) {
    uint32_t id;
    {
        std::lock_guard<std::mutex> lock(S->m);
        auto device = std::make_shared<Device>();
        id = device->id = S->nextId++;
        device->deviceSpec = deviceSpec;
        device->path = "/sim/hidraw" + std::to_string(id);
        S->devices[id] = device;
        S->order.push_back(id);
    }
    PushNotice('c');
    return id;
}

void SimHidPlatform::Unplug(uint32_t deviceId) {
    {
        std::lock_guard<std::mutex> lock(S->m);
        auto device = S->Find(deviceId);
        if (!device || !device->present)
            return;
        S->Remove(*device);
    }
    PushNotice('c');
}

bool SimHidPlatform::IsPresent(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    return device && device->present;
}

std::string SimHidPlatform::DevicePath(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    return device ? device->path : std::string();
}

void SimHidPlatform::SetOpenable(uint32_t deviceId, bool readWrite, bool noAccess) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId)) {
        device->openReadWrite = readWrite;
        device->openNoAccess = noAccess;
    }
}

void SimHidPlatform::SetIdentifiable(uint32_t deviceId, bool identifiable) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId))
        device->identifiable = identifiable;
}

void SimHidPlatform::SetDescriptorAvailable(uint32_t deviceId, bool available) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId))
        device->descriptor = available;
}

void SimHidPlatform::SetVanishOnNextOpen(uint32_t deviceId) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId))
        device->vanishOnOpen = true;
}

void SimHidPlatform::SetWriteAccepted(uint32_t deviceId, bool accepted) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId))
        device->writeAccepted = accepted;
}

void SimHidPlatform::SetReadError(uint32_t deviceId, int error) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId))
        device->readError = error;
    S->changed.notify_all();
}

bool SimHidPlatform::FeedInput(uint32_t deviceId, const std::vector<uint8_t>& report) {
    return Feed(deviceId, report, true);
}

bool SimHidPlatform::FeedInputIfRoom(uint32_t deviceId, const std::vector<uint8_t>& report) {
    return Feed(deviceId, report, false);
}

bool SimHidPlatform::Feed(uint32_t deviceId, const std::vector<uint8_t>& report, bool countLoss) {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    if (!device || !device->present || device->readableHandles == 0)
        return false;
    if (device->queue.size() >= S->capacity) {
        if (countLoss)
            ++device->dropped;
        return false;
    }
    device->queue.push_back(report);
    S->changed.notify_all();
    return true;
}

void SimHidPlatform::SetInputSource(uint32_t deviceId,
                                    std::function<bool(std::vector<uint8_t>&)> source) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId))
        device->source = std::move(source);
    S->changed.notify_all();
}

void SimHidPlatform::SetQueueCapacity(std::size_t reports) {
    std::lock_guard<std::mutex> lock(S->m);
    S->capacity = reports;
}

std::size_t SimHidPlatform::QueuedInput(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    return device ? device->queue.size() : 0;
}

std::size_t SimHidPlatform::DroppedInput(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    return device ? device->dropped : 0;
}

std::vector<std::vector<uint8_t>> SimHidPlatform::Written(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    return device ? device->written : std::vector<std::vector<uint8_t>>{};
}

void SimHidPlatform::SetOutputHandler(
    uint32_t deviceId, std::function<void(const std::vector<uint8_t>& report)> handler) {
    std::lock_guard<std::mutex> lock(S->m);
    if (auto device = S->Find(deviceId))
        device->outputHandler = std::move(handler);
}

int SimHidPlatform::OpenHandleCount(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    return device ? device->handles : 0;
}

int SimHidPlatform::ReadsInProgress(uint32_t deviceId) const {
    std::lock_guard<std::mutex> lock(S->m);
    auto device = S->Find(deviceId);
    return device ? device->readsInProgress : 0;
}

void SimHidPlatform::NotifyOtherChange() {
    PushNotice('o');
}

std::size_t SimHidPlatform::PendingNotices() const {
    int n = 0;
    if (S->pipe[0] < 0 || ::ioctl(S->pipe[0], FIONREAD, &n) != 0)
        return 0;
    return static_cast<std::size_t>(n);
}

bool SimHidPlatform::IsAvailable() const {
    std::lock_guard<std::mutex> lock(S->m);
    return S->available;
}

bool SimHidPlatform::ListInterfaces(std::vector<HidInterfaceRecord>& interfaces) {
    std::lock_guard<std::mutex> lock(S->m);
    interfaces.clear();
    if (!S->available || S->listingRefused)
        return false;
    for (uint32_t id : S->order) {
        const Device& device = *S->devices[id];
        HidInterfaceRecord record;
        record.DeviceID = id;
        record.DevicePath = device.path;
        record.InstanceId = "sim/" + std::to_string(id);
        record.ClassDescr = device.deviceSpec.ClassDescr;
        record.DeviceDescr = device.deviceSpec.Product;
        record.FriendlyName = device.deviceSpec.Product;
        record.Mfg = device.deviceSpec.Manufacturer;
        record.EnumeratorName = "SIM";
        interfaces.push_back(std::move(record));
    }
    return true;
}

std::unique_ptr<IHidHandle> SimHidPlatform::Open(const std::string& path, THidAccess access,
                                                 int& error) {
    bool vanished = false;
    std::unique_ptr<IHidHandle> handle;
    {
        std::lock_guard<std::mutex> lock(S->m);
        std::shared_ptr<Device> device;
        for (auto& [id, candidate] : S->devices) {
            if (candidate->present && candidate->path == path)
                device = candidate;
        }
        if (!device) {
            error = ENOENT;
            return nullptr;
        }
        if (device->vanishOnOpen) {
            S->Remove(*device);
            vanished = true;
            error = ENOENT;
        } else if ((access == THidAccess::None && !device->openNoAccess) ||
                   (access != THidAccess::None && !device->openReadWrite)) {
            error = EACCES;
            return nullptr;
        } else {
            ++device->handles;
            if (CanRead(access))
                ++device->readableHandles;
            handle = std::make_unique<Handle>(S, device, access);
        }
    }
    if (vanished)
        PushNotice('c');
    return handle;
}

int SimHidPlatform::ChangeNotificationFd() const {
    return S->pipe[0];
}

IHidPlatform::Notice SimHidPlatform::TakeChangeNotification() {
    char kind = 0;
    if (S->pipe[0] < 0 || ::read(S->pipe[0], &kind, 1) != 1)
        return Notice::None;
    return kind == 'c' ? Notice::DeviceSetChanged : Notice::Other;
}

}  // namespace halvik
