// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/MainThread.h"

#include <chrono>
#include <future>

namespace halvik {

struct MainThreadQueue::Item {
    std::function<void()> call;
    // A thread blocks in PostAndWait until `finished` is set. The item and its promise live on
    // that thread's stack, so once the call has run the thread needs nothing of the queue: a
    // reader let go from inside its own hand-over may still be waking up when the queue is gone.
    bool waited = false;
    std::promise<void> finished;
};

MainThreadQueue::MainThreadQueue() : mainThread_(std::this_thread::get_id()) {}

MainThreadQueue::~MainThreadQueue() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Item* item : queue_) {
        if (!item->waited)
            delete item;
    }
    queue_.clear();
}

void MainThreadQueue::SetWakeup(std::function<void()> wakeup) {
    std::lock_guard<std::mutex> lock(mutex_);
    wakeup_ = std::move(wakeup);
}

void MainThreadQueue::SetExceptionHandler(std::function<void(std::exception_ptr)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    exceptionHandler_ = std::move(handler);
}

bool MainThreadQueue::IsMainThread() const {
    return std::this_thread::get_id() == mainThread_;
}

void MainThreadQueue::Enqueue(Item* item) {
    std::function<void()> wakeup;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(item);
        wakeup = wakeup_;
        // Under the lock: once the main thread can take the item (and the call may end the
        // queue's owner), this thread touches the queue no more.
        arrived_.notify_all();
    }
    if (wakeup)
        wakeup();
}

void MainThreadQueue::PostAndWait(std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return;
    }
    Item item;
    item.call = std::move(call);
    item.waited = true;
    std::future<void> finished = item.finished.get_future();
    Enqueue(&item);
    finished.wait();
}

void MainThreadQueue::Post(std::function<void()> call) {
    Item* item = new Item;
    item->call = std::move(call);
    Enqueue(item);
}

// Runs one item taken off the queue; returns normally or rethrows the call's exception after the
// waiting thread has been released and the item freed.
bool MainThreadQueue::RunOne(Item* item) {
    std::exception_ptr failure;
    try {
        item->call();
    } catch (...) {
        failure = std::current_exception();
    }
    std::function<void(std::exception_ptr)> handler;
    const bool waited = item->waited;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = exceptionHandler_;
    }
    if (waited) {
        // The waiting thread owns the item from here on: it may be gone at once.
        item->finished.set_value();
    } else {
        delete item;
    }
    if (failure) {
        if (!handler)
            std::rethrow_exception(failure);
        handler(failure);
    }
    return true;
}

std::size_t MainThreadQueue::RunPending() {
    // Only the calls queued when the pump started: a reader that posts again at once cannot keep
    // the main thread in here for ever.
    std::size_t budget;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        budget = queue_.size();
    }
    std::size_t ran = 0;
    while (ran < budget) {
        Item* item;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty())
                break;
            item = queue_.front();
            queue_.pop_front();
        }
        ++ran;
        RunOne(item);
    }
    return ran;
}

void MainThreadQueue::RunPendingUntil(const std::function<bool()>& done) {
    for (;;) {
        unsigned long generation;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            generation = wakeGeneration_;
        }
        if (done())
            return;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // The time limit only guards against a missed wake; Wake() and new calls end the
            // wait at once.
            arrived_.wait_for(lock, std::chrono::milliseconds(50),
                              [&] { return !queue_.empty() || wakeGeneration_ != generation; });
        }
        RunPending();
    }
}

void MainThreadQueue::Wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++wakeGeneration_;
    }
    arrived_.notify_all();
}

std::size_t MainThreadQueue::RunPendingFor(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait_until(lock, deadline, [&] { return !queue_.empty(); });
    }
    return RunPending();
}

std::size_t MainThreadQueue::PendingCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

}  // namespace halvik
