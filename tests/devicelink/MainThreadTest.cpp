// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-over to the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include "devicelink/MainThread.h"

namespace halvik {
namespace {

TEST(MainThreadQueue, PostAndWaitBlocksUntilTheMainThreadRanTheCall) {
    MainThreadQueue queue;
    std::atomic<int> wakeups{0};
    queue.SetWakeup([&] { ++wakeups; });
    std::atomic<bool> returned{false};
    int ranOn = 0;  // written by the call, on the main thread
    std::thread worker([&] {
        queue.PostAndWait([&] { ranOn = queue.IsMainThread() ? 1 : 2; });
        returned = true;
    });
    while (queue.PendingCount() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(queue.RunPending(), 1u);
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(ranOn, 1);
    EXPECT_EQ(wakeups.load(), 1);
}

TEST(MainThreadQueue, AWaiterNeedsNothingOfTheQueueOnceItsCallHasRun) {
    // A reader let go from inside its own hand-over may still be waking up from PostAndWait when
    // the queue's owner is destroyed: the sanitizer builds catch a waiter that touches the queue
    // after its call has run.
    // Beyond the sanitizers, each round checks that the call ran once and on the main thread
    // (a waiter that never came back hangs the join, and the test times out).
    for (int round = 0; round < 200; ++round) {
        auto queue = std::make_unique<MainThreadQueue>();
        std::atomic<int> ran{0};
        std::atomic<bool> onMain{false};
        std::thread poster([&, q = queue.get()] {
            q->PostAndWait([&] {
                onMain = q->IsMainThread();
                ++ran;
            });
        });
        while (ran.load() == 0)
            queue->RunPendingFor(5);
        queue.reset();
        poster.join();
        ASSERT_EQ(ran.load(), 1) << "round " << round;
        ASSERT_TRUE(onMain.load()) << "round " << round;
    }
}

TEST(MainThreadQueue, OnTheMainThreadPostAndWaitRunsAtOnceAndPostRunsLater) {
    MainThreadQueue queue;
    int calls = 0;
    queue.PostAndWait([&] { ++calls; });
    EXPECT_EQ(calls, 1);
    queue.Post([&] { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(queue.RunPending(), 1u);
    EXPECT_EQ(calls, 2);
}

TEST(MainThreadQueue, RunPendingRunsOnlyWhatWasQueuedWhenItStarted) {
    MainThreadQueue queue;
    int calls = 0;
    std::function<void()> again = [&] {
        ++calls;
        queue.Post(again);  // a caller that keeps posting cannot hold the pump for ever
    };
    queue.Post(again);
    EXPECT_EQ(queue.RunPending(), 1u);
    EXPECT_EQ(queue.RunPending(), 1u);
    EXPECT_EQ(calls, 2);
}

TEST(MainThreadQueue, RunPendingUntilRunsCallsAndWakesOnWake) {
    MainThreadQueue queue;
    std::atomic<bool> finished{false};
    int delivered = 0;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            queue.PostAndWait([&] { ++delivered; });
        finished = true;
        queue.Wake();
    });
    queue.RunPendingUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(delivered, 100);
}

TEST(MainThreadQueue, ACallThatRaisesReleasesTheWaiterAndReachesTheMainThread) {
    MainThreadQueue queue;
    std::thread worker([&] { queue.PostAndWait([] { throw std::runtime_error("boom"); }); });
    while (queue.PendingCount() == 0)
        std::this_thread::yield();
    EXPECT_THROW(queue.RunPending(), std::runtime_error);
    worker.join();  // released although the call raised

    std::string seen;
    queue.SetExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            seen = ex.what();
        }
    });
    queue.Post([] { throw std::runtime_error("shown"); });
    EXPECT_NO_THROW(queue.RunPending());
    EXPECT_EQ(seen, "shown");
}

}  // namespace
}  // namespace halvik
