// The run loop: posted work, timers and delayed calls, and the program's clock.
//
// The main run loop belongs to the main thread (the thread that first touches
// it, which is the thread that runs main()). Screens and service callbacks run
// there; background threads hand results back with post(). Everything that
// schedules work on a run loop is thread-safe; the run* / drain / advance
// calls belong to the loop's own thread.
//
// The clock is one for the whole program and is read with ns::now() (the
// program's [NSDate date]). By default it is the real clock. Tests switch to
// a manual clock with useManualClock(start) and move it with advance(seconds):
// every timer and delayed call that comes due fires in time order, with the
// clock set to its own fire time, and nothing sleeps. A delay, wait or
// limit longer than the clock reaches (some 292 years) lasts until its end.
//
//   auto& loop = ns::RunLoop::main();
//   loop.post([] { ... });                              // a later turn
//   auto t = ns::Timer::scheduled(0.25, true, [](ns::Timer&) { ... });
//   loop.performAfterDelay(weakSelf, 2.0, [] { ... });  // performSelector:afterDelay:
//   loop.cancelPreviousPerformRequests(this);           // cancelPreviousPerformRequestsWithTarget:
//
// While it has nothing to do the loop sleeps in poll(2) on a wake-up
// descriptor (an eventfd that post(), new timers and stop() write from other
// threads), on the descriptors of its sources (the network engine's sockets,
// the window system's connection) and until the next timer or source
// deadline: it never polls on a period.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/Value.h"

namespace ns {

class RunLoop;
class Timer;
class RunLoopSource;
using TimerPtr = std::shared_ptr<Timer>;

// The current date of the program's clock: real, or the tests' manual clock.
// Cheap and callable from any thread.
Date now();

// True on the main thread (the one that runs the main run loop).
bool isMainThread();

// A timer on a run loop. The loop keeps a scheduled timer alive until it is
// invalidated (or, for a one-shot timer, until it has fired); holding the
// TimerPtr is optional. A timer made with a target never calls back once the
// target has gone: it invalidates itself instead.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    // scheduledTimerWithTimeInterval:repeats: on the main run loop. A one-shot
    // timer with no interval fires on a later turn; a repeating timer's
    // interval of zero or less is taken as 0.1 ms.
    static TimerPtr scheduled(double interval, bool repeats, Callback fn);
    template <typename T>
    static TimerPtr scheduled(double interval, const std::weak_ptr<T>& target, bool repeats, Callback fn);
    template <typename T>
    static TimerPtr scheduled(double interval, const std::shared_ptr<T>& target, bool repeats, Callback fn) {
        return scheduled(interval, std::weak_ptr<T>(target), repeats, std::move(fn));
    }

    // Stops the timer for good; safe from any thread and from its own callback.
    void invalidate();
    bool isValid() const;
    Date fireDate() const;  // the next time it fires
    double timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

private:
    friend class RunLoop;
    struct Private {};

public:
    Timer(Private, RunLoop* loop, double interval, bool repeats, std::shared_ptr<Callback> fn,
          std::weak_ptr<void> target, bool hasTarget, const void* owner, std::string selector);

private:
    RunLoop* loop_;
    double interval_;
    bool repeats_;
    // Guarded by the loop's mutex.
    std::shared_ptr<Callback> fn_;
    std::weak_ptr<void> target_;
    bool hasTarget_;
    const void* owner_;     // delayed calls: the owner key for cancellation
    std::string selector_;  // delayed calls: optional name for selective cancellation
    bool valid_ = true;
    bool scheduled_ = false;
    std::int64_t fire_ = 0;  // nanoseconds since 1970
    std::uint64_t seq_ = 0;
};

// Something besides posted work and timers that a run loop waits for: file
// descriptors it watches (RunLoop::watch) and a deadline on the steady clock,
// which the tests' manual clock does not move. Every call comes on the loop's
// own thread, inside a turn.
class RunLoopSource {
public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    virtual ~RunLoopSource() = default;
    // A watched descriptor is ready (RunLoop::kReadable / kWritable; an error
    // or hang-up counts as both). Returns whether it ran program work.
    virtual bool descriptorReady(int fd, unsigned events) = 0;
    // When the source next wants deadlinePassed(); SteadyTime::max() for never.
    virtual SteadyTime deadline() const { return SteadyTime::max(); }
    // The deadline has come. Returns whether it ran program work.
    virtual bool deadlinePassed() { return false; }
    // The main loop is being reset between tests: end everything in flight
    // without telling anybody.
    virtual void loopReset() {}
};

class RunLoop {
public:
    // The main run loop. The first call records the calling thread as the
    // main thread; the library makes that call while the program starts.
    static RunLoop& main();

    // A run loop for some other thread that wants one; that thread runs it.
    // It must outlive the timers scheduled on it. The manual clock's advance()
    // belongs to the main loop; another loop sees the new time on its next turn.
    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // ---- Work ----
    // Runs fn on a later turn of this loop. Any thread.
    void post(std::function<void()> fn);

    // Adds a timer to this loop (Timer::scheduled does this on the main loop).
    TimerPtr addTimer(double interval, bool repeats, Timer::Callback fn);
    template <typename T>
    TimerPtr addTimer(double interval, const std::weak_ptr<T>& target, bool repeats, Timer::Callback fn) {
        return addTimerImpl(interval, repeats, std::move(fn), std::weak_ptr<void>(target.lock()), true,
                            nullptr, {});
    }

    // performSelector:withObject:afterDelay: — fn runs once after `delay`
    // seconds (zero: on a later turn), unless cancelled first. The owner is
    // the key for cancellation. Given as a weak or shared pointer, the call
    // never runs once the owner has gone, and the owner is kept alive while
    // it runs. Given as a bare key, the owner must cancel before it goes.
    // `selector` optionally names the call for selective cancellation.
    void performAfterDelay(const void* owner, double delay, std::function<void()> fn,
                           std::string_view selector = {});
    template <typename T>
    void performAfterDelay(const std::weak_ptr<T>& owner, double delay, std::function<void()> fn,
                           std::string_view selector = {}) {
        auto strong = owner.lock();
        if (!strong) return;
        const void* key = static_cast<const void*>(strong.get());
        addTimerImpl(delay, false, [f = std::move(fn)](Timer&) { f(); }, std::weak_ptr<void>(strong), true,
                     key, std::string(selector));
    }
    template <typename T>
    void performAfterDelay(const std::shared_ptr<T>& owner, double delay, std::function<void()> fn,
                           std::string_view selector = {}) {
        performAfterDelay(std::weak_ptr<T>(owner), delay, std::move(fn), selector);
    }
    // cancelPreviousPerformRequestsWithTarget: (every pending call of the
    // owner), or only those with the given selector name.
    void cancelPreviousPerformRequests(const void* owner);
    void cancelPreviousPerformRequests(const void* owner, std::string_view selector);
    // Pending delayed calls of an owner (all, or with the given selector name).
    std::size_t pendingPerformRequests(const void* owner) const;
    std::size_t pendingPerformRequests(const void* owner, std::string_view selector) const;

    // ---- Clock (one for the whole program) ----
    // Switches to the manual clock, set to `start`. Timers already scheduled
    // keep their fire dates.
    static void useManualClock(Date start);
    static void useRealClock();
    static bool isManualClock();

    // Manual clock only (the real clock is switched to manual at its current
    // date first): moves the clock forward, firing every timer and delayed
    // call due by then in time order, each with the clock at its fire date,
    // and running the work they post. Ends with the clock at now + seconds.
    void advance(double seconds);

    // ---- Running (on the loop's own thread) ----
    // One turn: the work posted before the turn began, the timers due now,
    // then the sources' ready descriptors and passed deadlines. Returns how
    // many items ran (a source's call counts when it ran program work).
    std::size_t runOnce() { return runOnce(0.0); }
    // Waits at most `maxWaitSeconds` (negative: without limit) until work is
    // posted, a timer comes due (real clock), a watched descriptor is ready,
    // a source's deadline passes or stop() is asked; then runs one turn.
    std::size_t runOnce(double maxWaitSeconds);
    // Turns until nothing is due now. Returns how many items ran.
    std::size_t drain();
    // Runs turns, waiting for posted work (and, on the real clock, for
    // timers), until `condition` holds or `limitSeconds` of real time have
    // passed. Returns whether the condition held. For waiting on real
    // background work such as a loopback request; on the manual clock timers
    // fire only through advance(). The condition is looked at after every
    // turn; a background thread that changes it without posting should call
    // wakeUp() (it is looked at again every 50 ms at the latest).
    bool runUntil(const std::function<bool()>& condition, double limitSeconds);
    // Runs until stop() (any thread).
    void run();
    void stop();
    // Wakes the loop if it sleeps (if not, its next wait does not sleep), so
    // that it looks at its work (and a runUntil condition) again. Any thread.
    void wakeUp();

    // ---- Sources (on the loop's own thread) ----
    static constexpr unsigned kReadable = 1, kWritable = 2;
    void addSource(RunLoopSource* source);
    void removeSource(RunLoopSource* source);  // also stops its watches
    // Watches `fd` for the source (replacing an earlier watch of that fd);
    // events 0 stops watching it.
    void watch(RunLoopSource* source, int fd, unsigned events);
    void unwatch(int fd) { watch(nullptr, fd, 0); }

    // A host that waits on something other than this loop (a window
    // system's event queue) is called here, on whichever thread did it,
    // whenever work is posted, a timer is added or stop() is asked, so that
    // it can wake up and run the loop. It must be quick and thread-safe.
    // An empty function removes it.
    void setWakeUpHandler(std::function<void()> handler);
    // For such a host, which turns the loop with runOnce(): whether stop()
    // was asked since run() last returned or this was last asked; clears it.
    bool takeStopRequest();

    // ---- Probes ----
    std::size_t pendingPosts() const;
    std::size_t pendingTimers() const;  // scheduled timers and delayed calls
    // Whether the loop's thread is asleep, waiting for something to happen.
    bool isWaiting() const;
    // How many times the loop has gone to sleep and been woken (by anything).
    std::uint64_t sleepCount() const;
    bool hasPendingWork() const { return pendingPosts() + pendingTimers() > 0; }
    // The earliest fire date among scheduled timers, or nil date (0) with false.
    bool nextFireDate(Date* out) const;

    // Ends what the main loop's sources have in flight (loopReset), drops
    // all posted work, timers, delayed calls and the wake-up handler of the
    // main loop, returns to the real clock and clears a pending stop. For
    // tests, between cases that share one process.
    static void resetForTesting();

private:
    friend class Timer;
    using Key = std::pair<std::int64_t, std::uint64_t>;  // fire time (ns), order of scheduling

    TimerPtr addTimerImpl(double interval, bool repeats, Timer::Callback fn, std::weak_ptr<void> target,
                          bool hasTarget, const void* owner, std::string selector);
    void schedule(const TimerPtr& t, std::int64_t fire);  // needs mutex_
    void unschedule(Timer& t);                       // needs mutex_
    void invalidate(Timer& t);
    // Pops and runs one due timer (fire date <= limit, seq < maxSeq).
    bool fireOne(std::int64_t limit, std::uint64_t maxSeq);
    std::size_t runPosted();  // the work posted so far
    // Waits (waitNs < 0: without limit) as runOnce(seconds) describes, then one turn.
    std::size_t turn(std::int64_t waitNs);
    // Sleeps in poll(2) for at most waitNs; records the ready descriptors.
    void waitForEvents(std::int64_t waitNs);
    std::size_t dispatchSources();
    void clear();
    // Wakes a sleeping loop (and, with andHost, the window host's wait); unlocks.
    void signalLocked(std::unique_lock<std::mutex>& lock, bool andHost);

    mutable std::mutex mutex_;
    std::shared_ptr<const std::function<void()>> wakeUpHandler_;  // guarded by mutex_
    int wakeFd_ = -1;       // eventfd written to wake the sleeping loop
    bool waiting_ = false;  // guarded by mutex_: asleep in poll
    bool signalled_ = false;  // guarded by mutex_: the descriptor was written since the sleep began
    bool wakeRequested_ = false;  // guarded by mutex_: wakeUp() came while the loop was awake
    std::uint64_t sleeps_ = 0;  // guarded by mutex_
    // The loop thread's own: sources, watches and what the last wait found ready.
    struct Watch {
        int fd;
        unsigned events;
        RunLoopSource* source;
    };
    std::vector<RunLoopSource*> sources_;
    std::vector<Watch> watches_;
    std::vector<std::pair<int, unsigned>> ready_;
    std::deque<std::function<void()>> posted_;
    std::map<Key, TimerPtr> timers_;
    std::uint64_t nextSeq_ = 1;
    bool stopRequested_ = false;
};

template <typename T>
TimerPtr Timer::scheduled(double interval, const std::weak_ptr<T>& target, bool repeats, Callback fn) {
    return RunLoop::main().addTimer(interval, target, repeats, std::move(fn));
}

// The main run loop's posting, as free functions.
inline void postToMain(std::function<void()> fn) { RunLoop::main().post(std::move(fn)); }

}  // namespace ns
