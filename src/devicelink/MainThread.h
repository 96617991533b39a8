// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace halvik {

// The hand-over to the main thread. Everything in the device link runs on one thread (the
// "main" thread) except the report readers; a reader hands every delivery to the main thread
// and waits until it has run there.
//
// Who calls what:
//  - PostAndWait: a reader thread. Blocks until the call has run on the main thread. Called on
//    the main thread itself it runs the call at once.
//  - Post: any thread. Queues a call and returns; the controller schedules its first rebuild
//    this way, so it runs when the event loop first runs.
//  - RunPending: the main thread, from its event loop. Runs the calls queued so far.
//  - RunPendingUntil: the main thread, while it waits for a reader to end: runs handed-over
//    calls (and only those) until `done()` holds. Wake() makes it look at `done()` again.
//
// The object must outlive every controller and device that uses it.
class IMainThread {
  public:
    virtual ~IMainThread() = default;
    virtual void PostAndWait(std::function<void()> call) = 0;
    virtual void Post(std::function<void()> call) = 0;
    virtual std::size_t RunPending() = 0;
    virtual void RunPendingUntil(const std::function<bool()>& done) = 0;
    virtual void Wake() = 0;
    virtual bool IsMainThread() const = 0;
};

// The ready-made hand-over: a queue guarded by a mutex. The thread that constructs it is the
// main thread. An event loop plugs in with SetWakeup, whose callable is called (from any thread)
// each time a call is queued and must arrange for RunPending() to run soon on the main thread.
// With Qt:
//     queue.SetWakeup([obj, &queue] {
//         QMetaObject::invokeMethod(obj, [&queue] { queue.RunPending(); }, Qt::QueuedConnection);
//     });
// Tests pump RunPending() or RunPendingFor() themselves.
//
// A call that throws: the waiting thread is released, then the exception goes to the handler set
// with SetExceptionHandler, or, without one, leaves RunPending/RunPendingUntil (calls still queued
// run at the next pump).
class MainThreadQueue : public IMainThread {
  public:
    MainThreadQueue();
    ~MainThreadQueue() override;
    MainThreadQueue(const MainThreadQueue&) = delete;
    MainThreadQueue& operator=(const MainThreadQueue&) = delete;

    void SetWakeup(std::function<void()> wakeup);
    void SetExceptionHandler(std::function<void(std::exception_ptr)> handler);

    void PostAndWait(std::function<void()> call) override;
    void Post(std::function<void()> call) override;
    std::size_t RunPending() override;
    void RunPendingUntil(const std::function<bool()>& done) override;
    void Wake() override;
    bool IsMainThread() const override;

    // Test helper: waits up to `timeoutMs` for calls to arrive and runs them, until at least one
    // ran or the time is up. Returns the number of calls run.
    std::size_t RunPendingFor(int timeoutMs);
    // Number of calls queued and not yet run.
    std::size_t PendingCount() const;

  private:
    struct Item;
    void Enqueue(Item* item);
    bool RunOne(Item* item);

    std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;  // main thread waits for calls or a wake
    std::deque<Item*> queue_;
    unsigned long wakeGeneration_ = 0;
    std::function<void()> wakeup_;
    std::function<void(std::exception_ptr)> exceptionHandler_;
};

}  // namespace halvik
