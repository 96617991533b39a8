// SPDX-License-Identifier: GPL-3.0-or-later
// A device's input/output side: report delivery through the reader thread, handler swaps,
// stopping, unplugging, writes.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "DeviceLinkFixture.h"

namespace halvik::testing {
namespace {

struct Delivery {
    THidDevice* device;
    uint8_t reportId;
    std::vector<uint8_t> data;
};

class ReaderTest : public DeviceLinkTest {
  protected:
    // Plugs one device, checks it out and leaves it without a handler.
    THidDevice* CheckOutNew(const SimHidPlatform::DeviceSpec& deviceSpec) {
        id = platform.Plug(deviceSpec);
        controller = MakeController();
        THidDevice* device = nullptr;
        EXPECT_TRUE(controller->CheckOutByIndex(device, controller->ListCount() - 1));
        return device;
    }
    THidDataEvent Recorder(std::vector<Delivery>& out) {
        return [&out](THidDevice* dev, uint8_t reportId, const uint8_t* data, uint16_t size) {
            out.push_back({dev, reportId, std::vector<uint8_t>(data, data + size)});
        };
    }

    uint32_t id = 0;
    std::unique_ptr<THidDeviceController> controller;
};

std::vector<uint8_t> Pattern(std::size_t n, uint8_t first) {
    std::vector<uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

TEST_F(ReaderTest, ReportsReachTheHandlerAsReportIdThenData) {
    struct Case {
        const char* name;
        bool numbered;
        uint16_t inputLength;
        std::vector<uint8_t> fed;  // as the device sends it
        uint8_t reportId;
        std::vector<uint8_t> data;
    };
    const std::vector<Case> cases = {
        {"unnumbered 65-byte report", false, 65, Pattern(64, 1), 0, Pattern(64, 1)},
        {"numbered report", true, 64,
         [] {
             auto r = Pattern(63, 10);
             r.insert(r.begin(), 5);
             return r;
         }(),
         5, Pattern(63, 10)},
        {"short read", false, 65, Pattern(10, 7), 0, Pattern(10, 7)},
        {"a read of one byte gives Size 0", true, 64, {7}, 7, {}},
        {"a longer report is cut to the buffer", false, 65, Pattern(70, 3), 0, Pattern(64, 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        THidDevice* device = CheckOutNew(DeviceOf(0x3543, 0x3543, c.inputLength, 65, c.numbered));
        std::vector<Delivery> got;
        device->SetOnData(Recorder(got));
        ASSERT_TRUE(device->IsReading());
        ASSERT_TRUE(platform.FeedInput(id, c.fed));
        PumpUntil([&] { return !got.empty(); });
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].device, device);
        EXPECT_EQ(got[0].reportId, c.reportId);
        EXPECT_EQ(got[0].data, c.data);
        delete device;
        controller.reset();
    }
}

TEST_F(ReaderTest, AReadOfNoBytesIsNotDelivered) {
    THidDevice* device = CheckOutNew(DeviceOf(0x3543, 0x3543, 64, 64, true));
    std::vector<Delivery> got;
    device->SetOnData(Recorder(got));
    ASSERT_TRUE(platform.FeedInput(id, {}));
    ASSERT_TRUE(platform.FeedInput(id, {9, 1, 2}));
    PumpUntilReaderWaits(id);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].reportId, 9);
    delete device;
}

TEST_F(ReaderTest, HandlerOnADeviceNotCheckedOutOnlyStoresIt) {
    id = platform.Plug(Logger());
    controller = MakeController();
    THidDevice* listed = controller->ListItem(0);
    std::vector<Delivery> got;
    listed->SetOnData(Recorder(got));
    EXPECT_FALSE(listed->IsReading());
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(device, 0));
    EXPECT_TRUE(device->IsReading()) << "the reader starts at check-out";
    delete device;
}

TEST_F(ReaderTest, AnswerToACommandWrittenBeforeTheReaderStartsStillArrives) {
    // The window's order: check out, read Caps, write the command, then assign the handler.
    SimLoggerCard card(platform, LoggerCardImage::Make({1, 2, 3, 4, 5}, {2014, 3, 7, 9, 0, 0}, {}),
                       SimLoggerCard::Pace::Manual);
    id = card.Plug();
    controller = MakeController();
    THidDevice* pic18 = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(pic18, 0));
    const uint32_t towrite = pic18->Caps().OutputReportByteLength;
    ASSERT_EQ(towrite, 65u);
    std::vector<uint8_t> report(towrite, 0);
    report[1] = 22;
    uint32_t written = 0;
    ASSERT_TRUE(pic18->WriteFile(report.data(), towrite, written));
    EXPECT_EQ(written, towrite);
    EXPECT_EQ(card.Send(), 1u) << "the answer queues on the device before anyone reads";
    std::vector<Delivery> got;
    pic18->SetOnData(Recorder(got));
    PumpUntil([&] { return !got.empty(); });
    ASSERT_EQ(got[0].data.size(), 64u);
    EXPECT_EQ(got[0].data[0], 1);
    EXPECT_EQ(got[0].data[4], 5);
    delete pic18;
}

TEST_F(ReaderTest, WriteFilePassesTheBytesOnUnchanged) {
    THidDevice* device = CheckOutNew(Logger());
    for (uint32_t size : {65u, 8u, 100u}) {
        std::vector<uint8_t> report = Pattern(size, 0);
        uint32_t written = 0;
        EXPECT_TRUE(device->WriteFile(report.data(), size, written)) << size;
        EXPECT_EQ(written, size);
        EXPECT_EQ(platform.Written(id).back(), report);
    }
    uint32_t written = 5;
    const uint8_t one = 0;
    EXPECT_FALSE(device->WriteFile(&one, 1, written)) << "the platform refuses it";
    EXPECT_EQ(written, 0u);
    platform.SetWriteAccepted(id, false);
    EXPECT_FALSE(device->WriteFile("\0\x16\0", 3, written));

    THidDevice* listed = nullptr;
    platform.Plug(Keyboard());
    controller->HandleNotification();
    listed = controller->ListItem(1);
    EXPECT_FALSE(listed->WriteFile("\0\x16\0", 3, written)) << "not checked out";
    EXPECT_EQ(listed->Caps().InputReportByteLength, 0) << "not accessible: no descriptor";
    delete device;
}

TEST_F(ReaderTest, ThreadSleepTimeAcceptsTenToTenThousand) {
    THidDevice* device = CheckOutNew(Logger());
    struct Case {
        int32_t value;
        int32_t expected;
    };
    for (Case c :
         {Case{9, 100}, Case{10001, 100}, Case{10, 10}, Case{10000, 10000}, Case{-5, 10000}}) {
        device->SetThreadSleepTime(c.value);
        EXPECT_EQ(device->ThreadSleepTime(), c.expected) << c.value;
    }
    delete device;
}

TEST_F(ReaderTest, HandlerSwappedWhileReportsFlowGetsEachReportExactlyOnce) {
    THidDevice* device = CheckOutNew(DeviceOf(0x3543, 0x3543, 5, 5, true));
    constexpr uint32_t kReports = 3000;
    std::atomic<uint32_t> produced{0};
    platform.SetInputSource(id, [&](std::vector<uint8_t>& report) {
        const uint32_t n = produced.load();
        if (n == kReports)
            return false;
        produced = n + 1;
        report = {1, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        return true;
    });
    std::vector<uint32_t> received;
    std::size_t perHandler[2] = {0, 0};
    int active = 0;  // the handler assigned now
    std::function<THidDataEvent(int)> recorder = [&](int which) -> THidDataEvent {
        return [&, which](THidDevice* self, uint8_t, const uint8_t* data, uint16_t size) {
            ASSERT_EQ(size, 4);
            EXPECT_EQ(which, active) << "delivered to the handler assigned at its delivery";
            ++perHandler[which];
            received.push_back(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24);
            if (received.size() % 101 == 0) {  // a swap from inside a handler, as the window does
                active = 1 - which;
                self->SetOnData(recorder(active));
            }
        };
    };
    device->SetOnData(recorder(active));
    std::size_t swaps = 0;
    while (received.size() < kReports) {
        queue.RunPendingFor(5);
        active = 1 - active;  // and from the main thread between deliveries
        device->SetOnData(recorder(active));
        ++swaps;
        ASSERT_TRUE(device->IsReading());
    }
    PumpUntilReaderWaits(id, [&] { return produced.load() == kReports; });
    ASSERT_EQ(received.size(), kReports);
    for (uint32_t i = 0; i < kReports; ++i) {
        ASSERT_EQ(received[i], i) << "in order, none lost, none twice";
    }
    EXPECT_GT(perHandler[0], 0u);
    EXPECT_GT(perHandler[1], 0u);
    EXPECT_GT(swaps, 1u);
    delete device;
}

TEST_F(ReaderTest, StoppingRunsTheWaitingDeliveryOnceWithTheHandlerSetBeforeTheStop) {
    THidDevice* device = CheckOutNew(Logger());
    std::vector<Delivery> got;
    device->SetOnData(Recorder(got));
    ASSERT_TRUE(platform.FeedInput(id, Pattern(64, 1)));
    // The reader is now blocked in the hand-over, waiting for the main thread.
    while (queue.PendingCount() == 0)
        std::this_thread::yield();
    device->SetOnData(nullptr);
    EXPECT_FALSE(device->IsReading());
    EXPECT_EQ(got.size(), 1u);
    EXPECT_EQ(platform.ReadsInProgress(id), 0) << "no read is left outstanding";
    platform.FeedInput(id, Pattern(64, 2));
    // No reader is left to take it: whatever was handed over is all there is.
    queue.RunPending();
    EXPECT_EQ(got.size(), 1u) << "nothing after the stop";
    delete device;
}

TEST_F(ReaderTest, StopCancelsAnOutstandingRead) {
    THidDevice* device = CheckOutNew(Logger());
    device->SetThreadSleepTime(10000);
    device->SetOnData([](THidDevice*, uint8_t, const uint8_t*, uint16_t) {});
    while (platform.ReadsInProgress(id) == 0)
        std::this_thread::yield();
    delete device;  // returns without waiting out the 10 s slice
    EXPECT_EQ(platform.ReadsInProgress(id), 0);
    EXPECT_EQ(platform.OpenHandleCount(id), 0);
}

TEST_F(ReaderTest, UnplugDuringADownloadEndsTheReadAndReportsErrorsUntilDestroyed) {
    id = platform.Plug(Logger());
    THidDeviceController ctl(platform, queue);
    THidDevice* pic18 = nullptr;
    ctl.SetOnEnumerate([&](THidDevice*, int32_t idx) {
        ctl.CheckOutByIndex(pic18, idx);
        return false;
    });
    std::atomic<uint32_t> sent{0};
    platform.SetInputSource(id, [&](std::vector<uint8_t>& report) {
        report = Pattern(64, uint8_t(sent++));
        return true;
    });
    uint32_t delivered = 0;
    uint32_t deliveredAtFirstError = 0;
    std::vector<uint32_t> errors;
    int destroyedInEvent = 0;
    ctl.SetOnDeviceChange([&](THidDeviceController*) {
        if (pic18 && !pic18->IsPluggedIn()) {
            delete pic18;  // the stop must not hang
            pic18 = nullptr;
            ++destroyedInEvent;
        }
        if (!pic18)
            ctl.Enumerate();
    });
    queue.RunPending();
    ASSERT_NE(pic18, nullptr);
    pic18->SetOnDataError([&](THidDevice*, uint32_t error) {
        if (errors.empty())
            deliveredAtFirstError = delivered;
        errors.push_back(error);
    });
    pic18->SetOnData([&](THidDevice*, uint8_t, const uint8_t*, uint16_t) { ++delivered; });
    PumpUntil([&] { return delivered >= 50; });
    platform.Unplug(id);
    PumpUntil([&] { return errors.size() >= 3; });
    // A report read before the unplug may still be delivered; the read under way at the unplug
    // ends without one, and so does every read after it.
    EXPECT_EQ(delivered, deliveredAtFirstError);
    for (uint32_t error : errors)
        EXPECT_EQ(error, uint32_t(ENODEV));
    ctl.HandleNotification();
    EXPECT_EQ(destroyedInEvent, 1);
    EXPECT_EQ(pic18, nullptr);
    EXPECT_EQ(ctl.ListCount(), 0);
    const std::size_t errorsAtDestruction = errors.size();
    // The device's reader ended with it: whatever was handed over is all there is.
    queue.RunPending();
    EXPECT_EQ(errors.size(), errorsAtDestruction) << "no call after destruction";
}

TEST_F(ReaderTest, UnpluggedButStillHeldDeviceKeepsReportingUntilCheckedIn) {
    THidDevice* device = CheckOutNew(Logger());
    std::vector<uint32_t> errors;
    device->SetOnDataError([&](THidDevice*, uint32_t e) { errors.push_back(e); });
    device->SetOnData([](THidDevice*, uint8_t, const uint8_t*, uint16_t) {});
    platform.Unplug(id);
    controller->HandleNotification();
    EXPECT_FALSE(device->IsPluggedIn());
    EXPECT_TRUE(device->IsReading()) << "unplugging does not stop the reader";
    PumpUntil([&] { return errors.size() >= 5; });
    THidDevice* held = device;
    controller->CheckIn(held);  // unplugged: destroyed
    EXPECT_EQ(controller->ListCount(), 0);
}

// A device that keeps failing (a read error, or gone while no unplug notice comes) is said once
// per read slice, not in a loop that keeps a core and the main thread busy; the stop still ends
// the pause at once.
TEST_F(ReaderTest, AFailingDeviceIsAskedAgainAtTheReadPaceNotInALoop) {
    for (const bool gone : {true, false}) {
        SCOPED_TRACE(gone ? "gone without a notice" : "read error");
        THidDevice* device = CheckOutNew(Logger());
        std::vector<uint32_t> errors;
        device->SetOnDataError([&](THidDevice*, uint32_t e) { errors.push_back(e); });
        device->SetOnData([](THidDevice*, uint8_t, const uint8_t*, uint16_t) {});
        device->SetThreadSleepTime(10000);
        if (gone)
            platform.Unplug(id);  // and the controller is never told
        else
            platform.SetReadError(id, EPROTO);
        ASSERT_TRUE(PumpUntil([&] { return !errors.empty(); }));
        // A loop would say hundreds more meanwhile.
        const auto pumped = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (std::chrono::steady_clock::now() < pumped)
            queue.RunPendingFor(5);
        EXPECT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0], uint32_t(gone ? ENODEV : EPROTO));
        const auto stopping = std::chrono::steady_clock::now();
        THidDevice* held = device;
        controller->CheckIn(held);
        controller.reset();
        // Not a timing check: the pause is ten seconds, and the stop must not sit it out.
        EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(5));
    }
}

TEST_F(ReaderTest, DeviceDestroyedFromInsideItsOwnHandler) {
    THidDevice* device = CheckOutNew(Logger());
    int calls = 0;
    device->SetOnData([&](THidDevice* self, uint8_t, const uint8_t*, uint16_t) {
        ++calls;
        delete self;
    });
    platform.FeedInput(id, Pattern(64, 0));
    platform.FeedInput(id, Pattern(64, 1));
    PumpUntil([&] { return calls == 1; });
    // The reader, blocked in that hand-over, was let go rather than waited for: it stops once the
    // hand-over returns, before it reads again, and needs nothing of the queue or the fixture
    // from then on. Whatever was handed over is all there is.
    queue.RunPending();
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(controller->ListCount(), 1);
    EXPECT_FALSE(controller->ListItem(0)->IsCheckedOut()) << "a fresh checked-in object";
}

TEST_F(ReaderTest, HandlerThatRaisesDoesNotStopTheReader) {
    THidDevice* device = CheckOutNew(Logger());
    int calls = 0;
    device->SetOnData([&](THidDevice*, uint8_t, const uint8_t*, uint16_t) {
        if (++calls == 1)
            throw std::runtime_error("bad report");
    });
    platform.FeedInput(id, Pattern(64, 0));
    EXPECT_THROW(PumpUntil([&] { return calls >= 1; }), std::runtime_error);
    platform.FeedInput(id, Pattern(64, 1));
    PumpUntil([&] { return calls >= 2; });
    EXPECT_EQ(calls, 2);

    // With an exception handler (the window shows the error) the pump goes on by itself.
    std::vector<std::string> shown;
    queue.SetExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            shown.push_back(ex.what());
        }
    });
    device->SetOnData(
        [&](THidDevice*, uint8_t, const uint8_t*, uint16_t) { throw std::runtime_error("again"); });
    platform.FeedInput(id, Pattern(64, 2));
    while (queue.PendingCount() == 0)
        std::this_thread::yield();
    delete device;  // the stop runs the failing delivery and still ends
    EXPECT_EQ(shown, std::vector<std::string>{"again"});
}

TEST_F(ReaderTest, DeviceWithoutDescriptorHasZeroCapsAndReadsNothing) {
    id = platform.Plug(Logger());
    platform.SetDescriptorAvailable(id, false);
    controller = MakeController();
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(device, 0));
    const THidCaps caps = device->Caps();
    EXPECT_EQ(caps.InputReportByteLength, 0);
    EXPECT_EQ(caps.OutputReportByteLength, 0);
    int calls = 0;
    device->SetOnData([&](THidDevice*, uint8_t, const uint8_t*, uint16_t) { ++calls; });
    ASSERT_TRUE(device->IsReading());
    platform.FeedInput(id, Pattern(64, 0));
    PumpUntilReaderWaits(id);
    EXPECT_EQ(calls, 0) << "an empty buffer reads no bytes";
    delete device;
}

TEST_F(ReaderTest, TwoDevicesReadAtOnceEachToItsOwnHandler) {
    const uint32_t a = platform.Plug(Logger());
    const uint32_t b = platform.Plug(Logger());
    controller = MakeController();
    THidDevice* first = nullptr;
    THidDevice* second = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(first, 0));
    ASSERT_TRUE(controller->CheckOutByIndex(second, 1));
    std::vector<Delivery> gotA;
    std::vector<Delivery> gotB;
    first->SetOnData(Recorder(gotA));
    second->SetOnData(Recorder(gotB));
    for (uint8_t i = 0; i < 20; ++i) {
        platform.FeedInput(a, Pattern(64, i));
        platform.FeedInput(b, Pattern(64, uint8_t(100 + i)));
    }
    PumpUntil([&] { return gotA.size() == 20 && gotB.size() == 20; });
    for (uint8_t i = 0; i < 20; ++i) {
        EXPECT_EQ(gotA[i].data[0], i);
        EXPECT_EQ(gotB[i].data[0], 100 + i);
        EXPECT_EQ(gotA[i].device, first);
        EXPECT_EQ(gotB[i].device, second);
    }
    delete first;
    delete second;
}

}  // namespace
}  // namespace halvik::testing
