// SPDX-License-Identifier: GPL-3.0-or-later
// Runs inside a QEMU guest as PID 1's child, as root, against a real kernel with uhid: the Linux
// platform and the device layer list, open and read a logger card that the card model serves
// through /dev/uhid. Prints "CHECK ok|FAIL ..." lines and "RESULT: PASS|FAIL" at the end.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "devicelink/HidDeviceController.h"
#include "devicelink/MainThread.h"
#include "devicelink/linux/LinuxHidPlatform.h"
#include "devicelink/sim/LoggerCard.h"
#include "download/CardSession.h"

using namespace halvik;

namespace {

int failures = 0;

void Check(bool ok, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::printf("CHECK %s ", ok ? "ok  " : "FAIL");
    std::vprintf(format, args);
    std::printf("\n");
    std::fflush(stdout);
    va_end(args);
    if (!ok)
        ++failures;
}

const uint8_t kCardDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02,
                                   0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
                                   0x81, 0x02, 0x09, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x00,
                                   0x75, 0x08, 0x95, 0x40, 0x91, 0x02, 0xC0};
const uint8_t kMouseDescriptor[] = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,
                                    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,
                                    0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05,
                                    0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81,
                                    0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

// Every input report the test's handlers received; the card sends only a few ahead of it, as
// a real card's endpoint is only polled while the host keeps up.
std::atomic<uint64_t> delivered{0};

// A uhid device. The card answers commands with the card model from a thread of its own.
class UhidDevice {
  public:
    UhidDevice(const char* name, const uint8_t* descriptor, size_t size, uint16_t vendor,
               uint16_t product, const LoggerCardModel* model)
        : model_(model) {
        fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
        if (fd_ < 0)
            return;
        uhid_event event{};
        event.type = UHID_CREATE2;
        std::snprintf(reinterpret_cast<char*>(event.u.create2.name), sizeof event.u.create2.name,
                      "%s", name);
        event.u.create2.rd_size = static_cast<uint16_t>(size);
        std::memcpy(event.u.create2.rd_data, descriptor, size);
        event.u.create2.bus = 0x03;
        event.u.create2.vendor = vendor;
        event.u.create2.product = product;
        event.u.create2.version = 0x0100;
        created_ = ::write(fd_, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
        if (created_ && model_)
            thread_ = std::thread([this] { Serve(); });
    }
    ~UhidDevice() {
        Destroy();
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Created() const { return created_; }
    void Destroy() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (created_) {
            uhid_event event{};
            event.type = UHID_DESTROY;
            ssize_t n = ::write(fd_, &event, sizeof event);
            (void)n;
            created_ = false;
        }
    }
    std::vector<uint8_t> Commands() {
        std::lock_guard<std::mutex> lock(mutex_);
        return commands_;
    }

  private:
    void Serve() {
        while (!stop_) {
            pollfd p = {fd_, POLLIN, 0};
            if (::poll(&p, 1, 1) > 0 && (p.revents & POLLIN)) {
                uhid_event event{};
                if (::read(fd_, &event, sizeof event) <= 0)
                    continue;
                if (event.type == UHID_OUTPUT) {
                    const uint8_t* data = event.u.output.data;
                    size_t size = event.u.output.size;
                    if (size == 65 && data[0] == 0) {  // uhid keeps the report-ID byte
                        ++data;
                        --size;
                    }
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (size > 0)
                        commands_.push_back(data[0]);
                    for (auto& report : model_->Answer(data, size))
                        outbox_.push_back(report);
                }
            }
            while (!outbox_.empty() && sent_ < delivered.load() + 16) {
                uhid_event input{};
                input.type = UHID_INPUT2;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    input.u.input2.size = static_cast<uint16_t>(outbox_.front().size());
                    std::memcpy(input.u.input2.data, outbox_.front().data(),
                                outbox_.front().size());
                    outbox_.pop_front();
                }
                if (::write(fd_, &input, sizeof input) == static_cast<ssize_t>(sizeof input)) {
                    ++sent_;
                }
            }
        }
    }

    int fd_ = -1;
    bool created_ = false;
    const LoggerCardModel* model_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::deque<std::vector<uint8_t>> outbox_;
    std::vector<uint8_t> commands_;
    uint64_t sent_ = 0;
};

// The Linux platform, counting the change notices it gives.
class CountingPlatform : public LinuxHidPlatform {
  public:
    Notice TakeChangeNotification() override {
        const Notice notice = LinuxHidPlatform::TakeChangeNotification();
        if (notice == Notice::DeviceSetChanged)
            ++notices;
        return notice;
    }
    int notices = 0;
};

}  // namespace

// halvik-card-sim, started by the guest's init with `image`, is found and read like a card.
int CardSimRun(const std::string& path) {
    const LoggerCardImage image = LoggerCardImage::Load(path);
    MainThreadQueue queue;
    LinuxHidPlatform platform;
    THidDeviceController controller(platform, queue);
    THidDevice* pic18 = nullptr;
    controller.SetOnEnumerate([&](THidDevice* device, int32_t idx) {
        if (device->Attributes().VendorID == 0x3543 && device->Attributes().ProductID == 0x3543) {
            controller.CheckOutByIndex(pic18, idx);
        }
        return pic18 == nullptr;
    });
    controller.SetOnDeviceChange([&](THidDeviceController*) {
        if (!pic18)
            controller.Enumerate();
    });
    auto pumpUntil = [&](const std::function<bool()>& done, int limitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            pollfd p = {controller.NotificationFd(), POLLIN, 0};
            if (::poll(&p, 1, 0) > 0)
                controller.HandleNotification();
            queue.RunPendingFor(1);
        }
        return done();
    };
    queue.RunPending();
    pumpUntil([&] { return pic18 != nullptr; }, 10000);
    Check(pic18 != nullptr, "card-sim: the virtual card is found and checked out");
    if (!pic18) {
        std::printf("CARDSIM: FAIL\n");
        return 1;
    }
    const uint16_t towrite = pic18->Caps().OutputReportByteLength;
    auto command = [&](uint8_t code) {
        std::vector<uint8_t> report(towrite, 0);
        report[1] = code;
        uint32_t written = 0;
        pic18->WriteFile(report.data(), towrite, written);
    };
    std::vector<uint8_t> header;
    std::vector<uint8_t> stream;
    command(22);
    pic18->SetOnData([&](THidDevice*, uint8_t, const uint8_t* data, uint16_t size) {
        header.assign(data, data + size);
    });
    pumpUntil([&] { return !header.empty(); }, 5000);
    Check(header == std::vector<uint8_t>(image.Header().begin(), image.Header().end()),
          "card-sim: header as in the card image");
    command(11);
    pic18->SetOnData([&](THidDevice*, uint8_t, const uint8_t* data, uint16_t size) {
        stream.insert(stream.end(), data, data + size);
    });
    pumpUntil([&] { return stream.size() >= image.Stream().size(); }, 20000);
    const bool same = stream.size() >= image.Stream().size() &&
                      std::equal(image.Stream().begin(), image.Stream().end(), stream.begin());
    Check(same, "card-sim: %zu readings as in the card image", image.ReadingCount());
    delete pic18;

    // The download flow over the same card ends when the last reading arrived, long before the
    // staging time (ten ticks of one millisecond per reading) would have.
    {
        LinuxHidPlatform flowPlatform;
        const LocaleSettings locale;
        CardSession session(flowPlatform, locale);
        bool connected = false;
        try {
            session.Connect();
            connected = session.WaitForHeader(std::chrono::seconds(5));
        } catch (const std::exception& e) {
            std::printf("download flow: %s\n", e.what());
        }
        Check(connected, "card-sim: the download flow connects and reads the header");
        if (connected) {
            const auto t0 = std::chrono::steady_clock::now();
            session.DownloadAll(TemperatureUnit::Celsius);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            const int count = static_cast<int>(image.ReadingCount());
            Check(session.flow().Phase() == DownloadPhase::Downloaded &&
                      session.lastEnd().received == count,
                  "card-sim: download flow \"%s\" with %d of %d readings in %.2f s (staging "
                  "time %.1f s)",
                  session.flow().View().status.c_str(), session.lastEnd().received, count, seconds,
                  10 * std::min(count, 4000) / 1000.0);
        }
    }
    std::printf("CARDSIM: %s\n", failures ? "FAIL" : "PASS");
    return failures ? 1 : 0;
}

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 3 && std::string(argv[1]) == "--write-image") {
        std::vector<CardReading> readings;
        for (int i = 0; i < 1440; ++i)
            readings.push_back(EncodeReading(2.0 + (i % 40) * 0.25));
        LoggerCardImage::Make({9, 8, 7, 6, 5}, {2021, 12, 31, 23, 54, 0}, readings).Save(argv[2]);
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--with-card-sim")
        return CardSimRun(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    std::vector<CardReading> readings;
    for (int i = 0; i < 14400; ++i)
        readings.push_back(EncodeReading(-25.0 + (i % 600) * 0.125));
    const LoggerCardImage image =
        LoggerCardImage::Make({1, 2, 3, 4, 5}, {2014, 1, 5, 5, 6, 0}, readings);
    const LoggerCardModel model(image);

    MainThreadQueue queue;
    CountingPlatform platform;
    Check(platform.IsAvailable() && platform.ChangeNotificationFd() >= 0,
          "platform available, monitor source %s", platform.MonitorSourceName().c_str());
    THidDeviceController controller(platform, queue);
    THidDevice* pic18 = nullptr;
    int changes = 0;
    controller.SetOnDeviceChange([&](THidDeviceController*) {
        ++changes;
        if (pic18 && !pic18->IsPluggedIn()) {  // as the window does
            delete pic18;
            pic18 = nullptr;
        }
    });
    auto pumpUntil = [&](const std::function<bool()>& done, int limitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            pollfd p = {controller.NotificationFd(), POLLIN, 0};
            if (::poll(&p, 1, 0) > 0)
                controller.HandleNotification();
            queue.RunPendingFor(1);
        }
        return done();
    };
    queue.RunPending();
    Check(changes == 1 && controller.ListCount() == 0, "first rebuild: %d event, %d devices",
          changes, controller.ListCount());

    // The card arrives.
    UhidDevice card("Halvik VM card", kCardDescriptor, sizeof kCardDescriptor, 0x3543, 0x3543,
                    &model);
    Check(card.Created(), "uhid card created");
    pumpUntil([&] { return changes == 2; }, 5000);
    Check(changes == 2 && platform.notices == 1 && controller.ListCount() == 1,
          "card plugged: %d notice, %d events, %d listed", platform.notices, changes,
          controller.ListCount());
    if (controller.ListCount() < 1) {
        std::printf("RESULT: FAIL\n");
        return 1;
    }
    Check(controller.CheckOutByIndex(pic18, 0), "card checked out");
    const THidPnPInfo& pnp = pic18->PnPInfo();
    Check(pnp.DevicePath().rfind("/dev/hidraw", 0) == 0 &&
              pnp.InstanceId().find("/hidraw/") != std::string::npos,
          "identity %s, path %s", pnp.InstanceId().c_str(), pnp.DevicePath().c_str());
    Check(pic18->Attributes().VendorID == 0x3543 && pic18->Attributes().ProductID == 0x3543,
          "attributes %04x:%04x", pic18->Attributes().VendorID, pic18->Attributes().ProductID);
    const THidCaps caps = pic18->Caps();
    Check(caps.InputReportByteLength == 65 && caps.OutputReportByteLength == 65,
          "report lengths from the real descriptor: in %u, out %u", caps.InputReportByteLength,
          caps.OutputReportByteLength);
    Check(pic18->HasReadWriteAccess(), "opened for reading and writing");

    // The header command round-trips.
    auto command = [&](uint8_t code) {
        std::vector<uint8_t> report(caps.OutputReportByteLength, 0);
        report[1] = code;
        uint32_t written = 0;
        const bool ok = pic18->WriteFile(report.data(), report.size(), written);
        Check(ok && written == report.size(), "command %u written: %u bytes", code, written);
    };
    std::vector<uint8_t> header;
    command(22);
    pic18->SetOnData([&](THidDevice*, uint8_t id, const uint8_t* data, uint16_t size) {
        ++delivered;
        if (id == 0)
            header.assign(data, data + size);
    });
    pumpUntil([&] { return !header.empty(); }, 5000);
    Check(header == std::vector<uint8_t>(image.Header().begin(), image.Header().end()),
          "header report delivered: %zu bytes", header.size());

    // A whole card downloads through the reader thread.
    std::vector<uint8_t> stream;
    command(11);
    pic18->SetOnData([&](THidDevice*, uint8_t, const uint8_t* data, uint16_t size) {
        ++delivered;
        stream.insert(stream.end(), data, data + size);
    });
    const auto t0 = std::chrono::steady_clock::now();
    pumpUntil([&] { return stream.size() >= image.Stream().size(); }, 30000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Check(stream == image.Stream(), "14400 readings downloaded: %zu bytes in %.2f s", stream.size(),
          seconds);

    // Another HID device comes and goes: one notice each.
    const int noticesBefore = platform.notices;
    const int changesBefore = changes;
    {
        UhidDevice mouse("VM mouse", kMouseDescriptor, sizeof kMouseDescriptor, 0x046D, 0xC077,
                         nullptr);
        pumpUntil([&] { return changes == changesBefore + 1; }, 5000);
        Check(platform.notices == noticesBefore + 1 && controller.ListCount() == 2,
              "second device plugged: %d notice, %d listed", platform.notices - noticesBefore,
              controller.ListCount());
        THidDevice* listed = controller.ListItem(1);
        Check(listed && listed->Attributes().ProductID == 0xC077, "second device identified");
        mouse.Destroy();
        pumpUntil([&] { return changes == changesBefore + 2; }, 5000);
        pumpUntil([] { return false; }, 200);  // nothing more may come
        Check(platform.notices == noticesBefore + 2 && changes == changesBefore + 2 &&
                  controller.ListCount() == 1,
              "second device unplugged: %d notices in all, %d events, %d listed",
              platform.notices - noticesBefore, changes - changesBefore, controller.ListCount());
    }

    // The card is unplugged in the middle of a download.
    uint64_t during = 0;
    std::vector<uint32_t> errors;
    command(11);
    pic18->SetOnDataError([&](THidDevice*, uint32_t error) { errors.push_back(error); });
    pic18->SetOnData([&](THidDevice*, uint8_t, const uint8_t*, uint16_t) {
        ++delivered;
        ++during;
    });
    pumpUntil([&] { return during >= 100; }, 10000);
    Check(during >= 100, "second download under way: %llu reports", (unsigned long long)during);
    const auto unplugAt = std::chrono::steady_clock::now();
    card.Destroy();
    pumpUntil([&] { return pic18 == nullptr; }, 5000);
    const double stopMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - unplugAt)
            .count();
    Check(pic18 == nullptr && controller.ListCount() == 0,
          "card unplugged mid-download: destroyed by the window's handler %.0f ms later, "
          "%zu error calls, %d listed",
          stopMs, errors.size(), controller.ListCount());
    const uint64_t afterStop = during;
    pumpUntil([] { return false; }, 100);
    Check(during == afterStop, "nothing delivered after the device was destroyed");

    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("RESULT: %s (%d failed checks, %.2f s in the guest program)\n",
                failures ? "FAIL" : "PASS", failures, total);
    return failures ? 1 : 0;
}
