#include "foundation/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ns {

namespace {

// The program's clock. The manual date is kept in atomics so that now() is a
// couple of loads from any thread.
std::atomic<bool> g_manual{false};
std::atomic<std::int64_t> g_manualNow{0};  // nanoseconds since 1970

// The clock counts whole nanoseconds so that advancing by 0.09 s, 0.01 s and
// 0.1 s lands exactly on a timer due in 0.2 s. A time beyond what it holds
// (some 292 years either way) is held at its end; NaN is none.
constexpr std::int64_t kFarNs = std::numeric_limits<std::int64_t>::max();
std::int64_t toNanos(double seconds) {
    const double nanos = seconds * 1e9;
    if (std::isnan(nanos)) return 0;
    // 2^63 as a double: the first value a 64-bit count cannot hold.
    constexpr double kBeyond = 9223372036854775808.0;
    if (nanos >= kBeyond) return kFarNs;
    if (nanos <= -kBeyond) return -kFarNs;
    return std::llround(nanos);
}
// A time some nanoseconds later (or earlier), held at the clock's ends.
std::int64_t later(std::int64_t time, std::int64_t nanos) {
    std::int64_t sum;
    if (__builtin_add_overflow(time, nanos, &sum)) return nanos > 0 ? kFarNs : -kFarNs;
    return sum;
}
double toSeconds(std::int64_t nanos) {
    // Whole seconds and the fraction apart, so that a date such as x.25 comes
    // back exactly.
    std::int64_t whole = nanos / 1'000'000'000, frac = nanos % 1'000'000'000;
    return static_cast<double>(whole) + static_cast<double>(frac) / 1e9;
}

std::int64_t realNow() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t clockNow() { return g_manual.load(std::memory_order_acquire) ? g_manualNow.load() : realNow(); }

constexpr double kMinInterval = 0.0001;  // what a zero or negative repeating interval becomes

// How often runUntil looks at its condition at the latest when nothing wakes the loop.
constexpr std::int64_t kConditionRecheckNs = 50'000'000;
constexpr std::int64_t kForever = -1;

std::int64_t steadyNanos(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// The shorter of two waits (negative: without limit).
std::int64_t shorter(std::int64_t a, std::int64_t b) {
    if (a < 0) return b;
    if (b < 0) return a;
    return std::min(a, b);
}

std::atomic<std::thread::id> g_mainThread{};

// Touch the main run loop while the program starts, so the main thread is
// recorded even when the first real use comes from a background thread.
[[maybe_unused]] const bool g_mainTouched = (RunLoop::main(), true);

}  // namespace

Date now() { return Date{toSeconds(clockNow())}; }

bool isMainThread() {
    RunLoop::main();
    return std::this_thread::get_id() == g_mainThread.load();
}

// ---------------------------------------------------------------- Timer

Timer::Timer(Private, RunLoop* loop, double interval, bool repeats, std::shared_ptr<Callback> fn,
             std::weak_ptr<void> target, bool hasTarget, const void* owner, std::string selector)
    : loop_(loop),
      interval_(interval),
      repeats_(repeats),
      fn_(std::move(fn)),
      target_(std::move(target)),
      hasTarget_(hasTarget),
      owner_(owner),
      selector_(std::move(selector)) {}

Timer::~Timer() = default;

TimerPtr Timer::scheduled(double interval, bool repeats, Callback fn) {
    return RunLoop::main().addTimer(interval, repeats, std::move(fn));
}

void Timer::invalidate() { loop_->invalidate(*this); }

bool Timer::isValid() const {
    std::lock_guard<std::mutex> lock(loop_->mutex_);
    return valid_;
}

Date Timer::fireDate() const {
    std::lock_guard<std::mutex> lock(loop_->mutex_);
    return Date{toSeconds(fire_)};
}

// ---------------------------------------------------------------- RunLoop

RunLoop& RunLoop::main() {
    // Never destroyed: background threads may still post while the program exits.
    static RunLoop* loop = [] {
        g_mainThread.store(std::this_thread::get_id());
        return new RunLoop();
    }();
    return *loop;
}

RunLoop::RunLoop() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

RunLoop::~RunLoop() {
    clear();
    if (wakeFd_ >= 0) close(wakeFd_);
}

void RunLoop::signalLocked(std::unique_lock<std::mutex>& lock, bool andHost) {
    const bool write = waiting_ && !signalled_;
    if (write) signalled_ = true;
    auto host = andHost ? wakeUpHandler_ : nullptr;
    lock.unlock();
    if (write && wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
    if (host) (*host)();
}

void RunLoop::post(std::function<void()> fn) {
    if (!fn) return;
    std::unique_lock<std::mutex> lock(mutex_);
    posted_.push_back(std::move(fn));
    signalLocked(lock, true);
}

void RunLoop::wakeUp() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!waiting_) wakeRequested_ = true;  // the next wait does not sleep
    signalLocked(lock, false);
}

void RunLoop::setWakeUpHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    wakeUpHandler_ = handler ? std::make_shared<const std::function<void()>>(std::move(handler)) : nullptr;
}

bool RunLoop::takeStopRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(stopRequested_, false);
}

TimerPtr RunLoop::addTimer(double interval, bool repeats, Timer::Callback fn) {
    return addTimerImpl(interval, repeats, std::move(fn), {}, false, nullptr, {});
}

TimerPtr RunLoop::addTimerImpl(double interval, bool repeats, Timer::Callback fn, std::weak_ptr<void> target,
                               bool hasTarget, const void* owner, std::string selector) {
    if (!(interval > 0)) interval = repeats ? kMinInterval : 0;
    auto t = std::make_shared<Timer>(Timer::Private{}, this, interval, repeats,
                                     std::make_shared<Timer::Callback>(std::move(fn)), std::move(target), hasTarget,
                                     owner, std::move(selector));
    std::unique_lock<std::mutex> lock(mutex_);
    schedule(t, later(clockNow(), toNanos(interval)));
    signalLocked(lock, true);
    return t;
}

void RunLoop::schedule(const TimerPtr& t, std::int64_t fire) {
    t->fire_ = fire;
    t->seq_ = nextSeq_++;
    t->scheduled_ = true;
    timers_.emplace(Key{fire, t->seq_}, t);
}

void RunLoop::unschedule(Timer& t) {
    if (!t.scheduled_) return;
    t.scheduled_ = false;
    timers_.erase(Key{t.fire_, t.seq_});
}

void RunLoop::invalidate(Timer& t) {
    TimerPtr keep;  // released outside the lock: the timer's captures may do anything
    std::shared_ptr<Timer::Callback> fn;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!t.valid_) return;
        t.valid_ = false;
        if (t.scheduled_) {
            auto it = timers_.find(Key{t.fire_, t.seq_});
            if (it != timers_.end()) keep = std::move(it->second);
            unschedule(t);
        }
        fn = std::move(t.fn_);
    }
}

void RunLoop::performAfterDelay(const void* owner, double delay, std::function<void()> fn, std::string_view selector) {
    addTimerImpl(delay, false, [f = std::move(fn)](Timer&) { f(); }, {}, false, owner, std::string(selector));
}

void RunLoop::cancelPreviousPerformRequests(const void* owner) {
    std::vector<TimerPtr> cancelled;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [key, t] : timers_)
            if (t->owner_ == owner && owner) cancelled.push_back(t);
    }
    for (auto& t : cancelled) t->invalidate();
}

void RunLoop::cancelPreviousPerformRequests(const void* owner, std::string_view selector) {
    std::vector<TimerPtr> cancelled;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [key, t] : timers_)
            if (owner && t->owner_ == owner && t->selector_ == selector) cancelled.push_back(t);
    }
    for (auto& t : cancelled) t->invalidate();
}

std::size_t RunLoop::pendingPerformRequests(const void* owner) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(timers_.begin(), timers_.end(), [&](const auto& e) { return owner && e.second->owner_ == owner; }));
}

std::size_t RunLoop::pendingPerformRequests(const void* owner, std::string_view selector) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(std::count_if(timers_.begin(), timers_.end(), [&](const auto& e) {
        return owner && e.second->owner_ == owner && e.second->selector_ == selector;
    }));
}

// ---- Clock

void RunLoop::useManualClock(Date start) {
    g_manualNow.store(toNanos(start.seconds));
    g_manual.store(true, std::memory_order_release);
}

void RunLoop::useRealClock() { g_manual.store(false, std::memory_order_release); }

bool RunLoop::isManualClock() { return g_manual.load(std::memory_order_acquire); }

void RunLoop::advance(double seconds) {
    if (!isManualClock()) useManualClock(now());
    const std::int64_t target = later(g_manualNow.load(), toNanos(std::max(0.0, seconds)));
    runPosted();
    for (;;) {
        std::int64_t fire;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (timers_.empty() || timers_.begin()->first.first > target) break;
            fire = timers_.begin()->first.first;
        }
        if (fire > g_manualNow.load()) g_manualNow.store(fire);
        fireOne(fire, UINT64_MAX);
        while (runPosted() > 0) {
        }
    }
    g_manualNow.store(target);
    drain();
}

// ---- Running

std::size_t RunLoop::runPosted() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        batch.swap(posted_);
    }
    std::size_t n = 0;
    while (!batch.empty()) {
        auto fn = std::move(batch.front());
        batch.pop_front();
        ++n;
        fn();
    }
    return n;
}

bool RunLoop::fireOne(std::int64_t limit, std::uint64_t maxSeq) {
    TimerPtr t;
    std::shared_ptr<Timer::Callback> fn;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(timers_.begin(), timers_.end(), [&](const auto& e) {
            return e.first.first > limit || e.first.second < maxSeq;
        });
        if (it == timers_.end() || it->first.first > limit) return false;
        t = it->second;
        unschedule(*t);
        fn = t->fn_;
        if (t->repeats_) {
            // Next fire after the one just due; fires missed while the loop
            // was busy (real clock) are skipped, not run in a burst.
            const std::int64_t step = std::max<std::int64_t>(1, toNanos(t->interval_));
            std::int64_t next = later(t->fire_, step);
            const std::int64_t current = clockNow();
            if (next <= current) next = later(t->fire_, step * ((current - t->fire_) / step + 1));
            schedule(t, next);
        } else {
            t->valid_ = false;
            t->fn_.reset();
        }
    }
    std::shared_ptr<void> target;
    if (t->hasTarget_) {
        target = t->target_.lock();
        if (!target) {
            t->invalidate();
            return true;
        }
    }
    if (fn && *fn) (*fn)(*t);
    return true;
}

std::size_t RunLoop::runOnce(double maxWaitSeconds) {
    return turn(maxWaitSeconds < 0 ? kForever : toNanos(maxWaitSeconds));
}

void RunLoop::waitForEvents(std::int64_t waitNs) {
    ready_.clear();
    if (waitNs != 0) {
        const auto nowSteady = std::chrono::steady_clock::now();
        for (RunLoopSource* source : sources_) {
            const auto due = source->deadline();
            if (due == RunLoopSource::SteadyTime::max()) continue;
            waitNs = due <= nowSteady ? 0 : shorter(waitNs, steadyNanos(due) - steadyNanos(nowSteady));
        }
    }
    if (waitNs != 0) {
        // The last look before sleeping, under the lock that other threads
        // take to post, add a timer or wake the loop: what came before it
        // keeps the loop awake, what comes after finds it waiting and writes
        // the wake-up descriptor.
        std::lock_guard<std::mutex> lock(mutex_);
        if (!isManualClock() && !timers_.empty())
            waitNs = shorter(waitNs, std::max<std::int64_t>(0, timers_.begin()->first.first - clockNow()));
        if (!posted_.empty() || stopRequested_ || wakeRequested_) waitNs = 0;
        wakeRequested_ = false;
        if (waitNs != 0) {
            waiting_ = true;
            ++sleeps_;
        }
    }
    if (waitNs == 0 && watches_.empty()) return;  // nothing to look at without waiting

    thread_local std::vector<pollfd> fds;
    fds.clear();
    fds.push_back(pollfd{wakeFd_, POLLIN, 0});
    for (const Watch& w : watches_) {
        short events = 0;
        if (w.events & kReadable) events |= POLLIN;
        if (w.events & kWritable) events |= POLLOUT;
        fds.push_back(pollfd{w.fd, events, 0});
    }
    timespec ts{};
    if (waitNs > 0) {
        ts.tv_sec = static_cast<time_t>(waitNs / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(waitNs % 1'000'000'000);
    }
    int n = ppoll(fds.data(), static_cast<nfds_t>(fds.size()), waitNs < 0 ? nullptr : &ts, nullptr);
    if (waitNs != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = false;
        signalled_ = false;
    }
    if (n <= 0) return;  // timed out, or a signal came
    if (fds[0].revents) {
        std::uint64_t count;
        [[maybe_unused]] auto got = ::read(wakeFd_, &count, sizeof count);
    }
    for (std::size_t i = 1; i < fds.size(); ++i) {
        const short r = fds[i].revents;
        if (!r) continue;
        unsigned events = 0;
        if (r & (POLLIN | POLLPRI)) events |= kReadable;
        if (r & POLLOUT) events |= kWritable;
        if (r & (POLLERR | POLLHUP | POLLNVAL)) events |= kReadable | kWritable;
        ready_.emplace_back(fds[i].fd, events);
    }
}

std::size_t RunLoop::dispatchSources() {
    std::size_t n = 0;
    if (!ready_.empty()) {
        // A call may change the watches (and start or end others): each ready
        // descriptor is looked up again before its source hears of it.
        auto ready = std::move(ready_);
        ready_.clear();
        for (auto [fd, events] : ready) {
            // (A copy of the binding: older compilers cannot name one in a lambda.)
            auto it = std::find_if(watches_.begin(), watches_.end(),
                                   [watched = fd](const Watch& w) { return w.fd == watched; });
            if (it == watches_.end()) continue;
            RunLoopSource* source = it->source;
            if (source->descriptorReady(fd, events)) ++n;
        }
    }
    if (!sources_.empty()) {
        const auto nowSteady = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < sources_.size(); ++i) {
            RunLoopSource* source = sources_[i];
            if (source->deadline() <= nowSteady && source->deadlinePassed()) ++n;
        }
    }
    return n;
}

std::size_t RunLoop::turn(std::int64_t waitNs) {
    waitForEvents(waitNs);
    std::uint64_t maxSeq;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        maxSeq = nextSeq_;
    }
    std::size_t n = runPosted();
    const std::int64_t limit = clockNow();
    while (fireOne(limit, maxSeq)) ++n;
    n += dispatchSources();
    return n;
}

std::size_t RunLoop::drain() {
    std::size_t total = 0;
    for (;;) {
        std::size_t n = runOnce();
        if (n == 0) return total;
        total += n;
    }
}

bool RunLoop::runUntil(const std::function<bool()>& condition, double limitSeconds) {
    using Clock = std::chrono::steady_clock;
    // A limit beyond what the clock holds waits as long as it can.
    const std::int64_t deadline = later(steadyNanos(Clock::now()), toNanos(std::max(0.0, limitSeconds)));
    turn(0);
    for (;;) {
        if (condition()) return true;
        const std::int64_t left = deadline - steadyNanos(Clock::now());
        if (left <= 0) {
            turn(0);
            return condition();
        }
        turn(std::min(left, kConditionRecheckNs));
    }
}

void RunLoop::run() {
    for (;;) {
        turn(kForever);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopRequested_) {
            stopRequested_ = false;
            return;
        }
    }
}

void RunLoop::stop() {
    std::unique_lock<std::mutex> lock(mutex_);
    stopRequested_ = true;
    signalLocked(lock, true);
}

void RunLoop::addSource(RunLoopSource* source) {
    if (source && std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
}

void RunLoop::removeSource(RunLoopSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
    watches_.erase(std::remove_if(watches_.begin(), watches_.end(), [&](const Watch& w) { return w.source == source; }),
                   watches_.end());
}

void RunLoop::watch(RunLoopSource* source, int fd, unsigned events) {
    auto it = std::find_if(watches_.begin(), watches_.end(), [&](const Watch& w) { return w.fd == fd; });
    if (!source || events == 0) {
        if (it != watches_.end()) watches_.erase(it);
        return;
    }
    if (it != watches_.end()) {
        it->events = events;
        it->source = source;
    } else {
        watches_.push_back(Watch{fd, events, source});
    }
}

bool RunLoop::isWaiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
}

std::uint64_t RunLoop::sleepCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
}

std::size_t RunLoop::pendingPosts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_.size();
}

std::size_t RunLoop::pendingTimers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timers_.size();
}

bool RunLoop::nextFireDate(Date* out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timers_.empty()) {
        if (out) *out = Date{};
        return false;
    }
    if (out) *out = Date{toSeconds(timers_.begin()->first.first)};
    return true;
}

void RunLoop::clear() {
    std::deque<std::function<void()>> posted;
    std::map<Key, TimerPtr> timers;
    std::vector<std::shared_ptr<Timer::Callback>> fns;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posted.swap(posted_);
        timers.swap(timers_);
        for (auto& [key, t] : timers) {
            t->valid_ = false;
            t->scheduled_ = false;
            fns.push_back(std::move(t->fn_));
        }
        stopRequested_ = false;
        wakeRequested_ = false;
    }
    // Destroyed here, outside the lock: captured objects may post or cancel.
}

void RunLoop::resetForTesting() {
    // Sources first: what they end may hold posted work or timers.
    auto sources = main().sources_;
    for (RunLoopSource* source : sources) source->loopReset();
    main().clear();
    main().setWakeUpHandler({});
    useRealClock();
}

}  // namespace ns
