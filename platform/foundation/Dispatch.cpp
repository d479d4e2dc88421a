#include "foundation/Dispatch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <vector>

#include "foundation/RunLoop.h"

namespace ns {

namespace {

// The queues the calling thread is running a task of, innermost last.
thread_local std::vector<const void*> t_held;

struct HeldScope {
    explicit HeldScope(const void* q) { t_held.push_back(q); }
    ~HeldScope() { t_held.pop_back(); }
    HeldScope(const HeldScope&) = delete;
    HeldScope& operator=(const HeldScope&) = delete;
};

bool isHeld(const void* q) { return std::find(t_held.begin(), t_held.end(), q) != t_held.end(); }

// Runs the main run loop until `done` holds (for waits on the main thread).
void pumpMainUntil(const std::function<bool()>& done) {
    while (!RunLoop::main().runUntil(done, 1.0)) {
    }
}

// ---------------------------------------------------------------- main queue

class MainQueue final : public DispatchQueue {
public:
    void async(std::function<void()> fn) override { RunLoop::main().post(std::move(fn)); }

    void sync(const std::function<void()>& fn) override {
        if (isMainThread()) {
            fn();
            return;
        }
        struct Wait {
            std::mutex m;
            std::condition_variable cv;
            bool done = false;
            std::exception_ptr error;
        };
        auto wait = std::make_shared<Wait>();
        RunLoop::main().post([wait, &fn] {
            try {
                fn();
            } catch (...) {
                wait->error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(wait->m);
            wait->done = true;
            wait->cv.notify_all();
        });
        std::unique_lock<std::mutex> lock(wait->m);
        wait->cv.wait(lock, [&] { return wait->done; });
        if (wait->error) std::rethrow_exception(wait->error);
    }

    bool isCurrent() const override { return isMainThread(); }
    const std::string& label() const override { return label_; }
    std::size_t pending() const override { return RunLoop::main().pendingPosts(); }

    void waitUntilIdle() override {
        if (isMainThread())
            RunLoop::main().drain();
        else
            sync([] {});
    }

protected:
    std::function<void(std::function<void()>)> submitter() override {
        return [](std::function<void()> fn) { RunLoop::main().post(std::move(fn)); };
    }

private:
    std::string label_ = "com.apple.main-thread";
};

// ---------------------------------------------------------------- global queue

class GlobalQueue final : public DispatchQueue {
public:
    void async(std::function<void()> fn) override {
        if (!fn) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            tasks_.push_back(std::move(fn));
            if (workers_.size() < maxWorkers() && workers_.size() < tasks_.size() + running_) {
                workers_.emplace_back([this] { work(); });
            }
        }
        cv_.notify_one();
    }

    // A concurrent queue has nothing to wait for: the task runs on the caller.
    void sync(const std::function<void()>& fn) override {
        HeldScope held(this);
        fn();
    }

    bool isCurrent() const override { return isHeld(this); }
    const std::string& label() const override { return label_; }

    std::size_t pending() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return tasks_.size() + running_;
    }

    void waitUntilIdle() override {
        if (isCurrent()) return;  // would wait for itself
        if (isMainThread()) {
            pumpMainUntil([&] { return pending() == 0; });
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [&] { return tasks_.empty() && running_ == 0; });
    }

protected:
    std::function<void(std::function<void()>)> submitter() override {
        return [this](std::function<void()> fn) { async(std::move(fn)); };
    }

private:
    static std::size_t maxWorkers() {
        unsigned n = std::thread::hardware_concurrency();
        return std::clamp<std::size_t>(n, 2, 4);
    }

    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            cv_.wait(lock, [&] { return !tasks_.empty(); });
            auto fn = std::move(tasks_.front());
            tasks_.pop_front();
            ++running_;
            lock.unlock();
            {
                HeldScope held(this);
                fn();
                fn = nullptr;
            }
            lock.lock();
            --running_;
            if (tasks_.empty() && running_ == 0) {
                idle_.notify_all();
                RunLoop::main().wakeUp();  // the main thread may be waiting for this queue
            }
        }
    }

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> workers_;  // never joined: the pool lives as long as the program
    std::size_t running_ = 0;
    std::string label_ = "com.apple.root.default-priority";
};

}  // namespace

DispatchQueue& mainQueue() {
    static MainQueue* q = new MainQueue();
    return *q;
}

DispatchQueue& globalQueue() {
    static GlobalQueue* q = new GlobalQueue();  // never destroyed: its threads outlive main()
    return *q;
}

// ---------------------------------------------------------------- serial queue

struct SerialQueue::State {
    struct Item {
        std::function<void()> fn;
        const void* ticket = nullptr;  // a waiting sync caller's turn
    };

    mutable std::mutex m;
    std::condition_variable cv;
    std::deque<Item> items;
    bool busy = false;
    bool closing = false;
    std::thread worker;

    // Takes its own reference: the task may destroy the queue (and the
    // caller's reference) before this returns.
    static void enqueue(std::shared_ptr<State> s, std::function<void()> fn) {
        if (!fn) return;
        {
            std::lock_guard<std::mutex> lock(s->m);
            if (s->closing) return;
            s->items.push_back(Item{std::move(fn), nullptr});
            if (!s->worker.joinable()) s->worker = std::thread([s] { s->work(); });
        }
        s->cv.notify_all();
    }

    void work() {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [&] { return (closing && items.empty()) || (!items.empty() && !busy && !items.front().ticket); });
            if (items.empty()) return;
            auto fn = std::move(items.front().fn);
            items.pop_front();
            busy = true;
            lock.unlock();
            {
                HeldScope held(this);
                fn();
                fn = nullptr;
            }
            lock.lock();
            busy = false;
            cv.notify_all();
        }
    }
};

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)), state_(std::make_shared<State>()) {}

SerialQueue::~SerialQueue() {
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(state_->m);
        state_->closing = true;
        worker = std::move(state_->worker);
    }
    state_->cv.notify_all();
    if (!worker.joinable()) return;
    if (worker.get_id() == std::this_thread::get_id())
        worker.detach();  // destroyed by its own task: the worker finishes on its own
    else
        worker.join();
}

void SerialQueue::async(std::function<void()> fn) { State::enqueue(state_, std::move(fn)); }

void SerialQueue::sync(const std::function<void()>& fn) {
    auto keep = state_;
    State& s = *keep;
    if (isHeld(&s)) {
        fn();
        return;
    }
    int ticket = 0;
    {
        std::unique_lock<std::mutex> lock(s.m);
        s.items.push_back(State::Item{nullptr, &ticket});
        s.cv.wait(lock, [&] { return !s.busy && s.items.front().ticket == &ticket; });
        s.items.pop_front();
        s.busy = true;
    }
    struct Release {
        State& s;
        ~Release() {
            {
                std::lock_guard<std::mutex> lock(s.m);
                s.busy = false;
            }
            s.cv.notify_all();
        }
    } release{s};
    HeldScope held(&s);
    fn();
}

void SerialQueue::waitUntilIdle() {
    if (isCurrent()) return;
    if (isMainThread()) {
        auto reached = std::make_shared<std::atomic<bool>>(false);
        async([reached] {
            reached->store(true);
            RunLoop::main().wakeUp();
        });
        pumpMainUntil([&] { return reached->load(); });
        return;
    }
    sync([] {});
}

bool SerialQueue::isCurrent() const { return isHeld(state_.get()); }

std::size_t SerialQueue::pending() const {
    std::lock_guard<std::mutex> lock(state_->m);
    return state_->items.size() + (state_->busy ? 1 : 0);
}

std::function<void(std::function<void()>)> SerialQueue::submitter() {
    std::weak_ptr<State> weak = state_;
    return [weak](std::function<void()> fn) {
        if (auto s = weak.lock()) State::enqueue(s, std::move(fn));
    };
}

// ---------------------------------------------------------------- after, once

void dispatchAfter(double seconds, DispatchQueue& queue, std::function<void()> fn) {
    if (!fn) return;
    if (&queue == &mainQueue()) {
        RunLoop::main().addTimer(seconds, false, [f = std::move(fn)](Timer&) { f(); });
        return;
    }
    RunLoop::main().addTimer(seconds, false,
                             [submit = queue.submitter(), f = std::move(fn)](Timer&) { submit(f); });
}

void OnceFlag::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    done_.store(false, std::memory_order_release);
}

void once(OnceFlag& flag, const std::function<void()>& fn) {
    if (flag.done_.load(std::memory_order_acquire)) return;
    const auto self = std::this_thread::get_id();
    if (flag.runner_.load() == self) return;  // called again from inside fn
    std::lock_guard<std::mutex> lock(flag.mutex_);
    if (flag.done_.load(std::memory_order_acquire)) return;
    flag.runner_.store(self);
    struct Clear {
        OnceFlag& f;
        ~Clear() { f.runner_.store(std::thread::id{}); }
    } clear{flag};
    fn();
    flag.done_.store(true, std::memory_order_release);
}

}  // namespace ns
