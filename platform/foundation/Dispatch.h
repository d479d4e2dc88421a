// Dispatch queues, once and a recursive lock.
//
//   ns::mainQueue().async([] { ... });          // a later turn of the main run loop
//   ns::globalQueue().async([] { ... });        // a small pool of worker threads
//   ns::SerialQueue store("StatStore");        // one task at a time, in order
//   store.async([] { ... });
//   store.sync([] { ... });                     // waits; inline when already on `store`
//   ns::dispatchAfter(0.1, ns::mainQueue(), [] { ... });
//
// sync never deadlocks on the queue the caller is already running on,
// including through nested sync calls (A -> B -> A runs inline), and a sync
// task runs on the caller's own thread while the queue is held for it, as
// libdispatch does. Delays (dispatchAfter) are timers on the main run loop, so
// a test's manual clock drives them.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace ns {

class DispatchQueue {
public:
    virtual ~DispatchQueue() = default;

    // Runs fn later on the queue. Any thread.
    virtual void async(std::function<void()> fn) = 0;
    // Runs fn on the queue and waits for it; inline when the caller is
    // already on this queue. An exception thrown by fn reaches the caller.
    virtual void sync(const std::function<void()>& fn) = 0;
    // True while the calling thread is running a task of this queue.
    virtual bool isCurrent() const = 0;
    virtual const std::string& label() const = 0;

    // Tasks submitted and not yet finished.
    virtual std::size_t pending() const = 0;
    // A test hook: blocks until every task submitted before the call has
    // finished. On the main thread it keeps running the main run loop while
    // it waits, so tasks that hand work to the main queue (even with sync)
    // finish; for the main queue itself it drains the main run loop.
    virtual void waitUntilIdle() = 0;

protected:
    friend void dispatchAfter(double seconds, DispatchQueue& queue, std::function<void()> fn);
    // A submitter that stays safe to call after this queue object has gone
    // (tasks submitted then are dropped).
    virtual std::function<void(std::function<void()>)> submitter() = 0;
};

// The main queue: tasks run on the main run loop's thread, in order.
DispatchQueue& mainQueue();
// The global concurrent queue: a small pool of worker threads.
DispatchQueue& globalQueue();

// A queue that runs one task at a time, in submission order, on its own
// worker thread (started with the first async task).
class SerialQueue : public DispatchQueue {
public:
    explicit SerialQueue(std::string label);
    // Finishes the tasks already submitted, then stops the worker.
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> fn) override;
    void sync(const std::function<void()>& fn) override;
    bool isCurrent() const override;
    const std::string& label() const override { return label_; }
    std::size_t pending() const override;
    void waitUntilIdle() override;

    struct State;

protected:
    std::function<void(std::function<void()>)> submitter() override;

private:
    std::string label_;
    std::shared_ptr<State> state_;
};

// dispatch_after: fn runs on `queue` once `seconds` have passed on the
// program's clock (a timer on the main run loop hands it to the queue).
void dispatchAfter(double seconds, DispatchQueue& queue, std::function<void()> fn);

// dispatch_once. Thread-safe: one caller runs fn, the others wait for it to
// finish. A call from inside fn on the same thread returns at once instead of
// deadlocking. reset() is for tests that recreate a singleton.
class OnceFlag {
public:
    OnceFlag() = default;
    OnceFlag(const OnceFlag&) = delete;
    OnceFlag& operator=(const OnceFlag&) = delete;
    bool done() const { return done_.load(std::memory_order_acquire); }
    void reset();

private:
    friend void once(OnceFlag& flag, const std::function<void()>& fn);
    std::atomic<bool> done_{false};
    std::atomic<std::thread::id> runner_{};
    std::mutex mutex_;
};

void once(OnceFlag& flag, const std::function<void()>& fn);

// NSRecursiveLock: the owning thread may lock again; usable with
// std::lock_guard / std::unique_lock.
class RecursiveLock {
public:
    explicit RecursiveLock(std::string name = {}) : name_(std::move(name)) {}
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }
    bool tryLock() { return mutex_.try_lock(); }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

private:
    std::recursive_mutex mutex_;
    std::string name_;
};

}  // namespace ns
