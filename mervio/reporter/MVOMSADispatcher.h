// The statistics reporter's upload: one event, or a batch of stored events,
// goes to the statistics server as one JSON array in one POST to
// "/stat/report" (statReportURL, else the built-in endpoint). From 256
// bytes the array is gzipped behind its 4-byte big-endian length; every body
// is enciphered with RC4 under the reporter's key, and so is the reply when
// its Content-Encoding names rc4. A send succeeds on status 200 with a reply
// whose "ret" reads "0"; the reply's "cfg" then goes to the configuration
// holder.
//
//   MVOMSADispatcher::getInstance()->sendEvent(event, [](bool ok, std::shared_ptr<MVOMSAEvent> sent) { ... });
//   MVOMSADispatcher::getInstance()->send(batch, [](bool ok, const MVOMSAStoreEvents& sent) { ... });
//
// Exchanges run one at a time on the serial queue "HttpDispatcher", each a
// blocking request with a 10-second time-out; the callback runs there once,
// with the very object sent.
//
// At the program's end (stopUploadsAfter, then stopUploads) the uploads get
// a moment more; then the one in flight is stopped and those after it are
// not tried. A stopped upload is not a failed one: an event sent alone is
// called back as not sent (so it is stored again); a batch of stored events
// that never got under way is handed to its unsent callback (its events wait
// again, no failure counted), and one stopped on its way is not called back
// at all, since the server may have it: its events stay in upload for the
// next start. The same class runs
// the speed test the server may order: a timed TCP connection to each listed
// server, the results kept in the settings; it stops with the uploads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Dispatch.h"
#include "foundation/Value.h"
#include "mervio/reporter/MVOMSAEvent.h"
#include "mervio/reporter/MVOMSAStore.h"
#include "net/Http.h"

// The result of one connection test; absent values are left out of its text.
struct MVOMSATestSpeed {
    std::optional<std::string> dm;  // host
    std::optional<long long> pt;    // port
    std::optional<std::string> rip; // the address the host resolved to
    std::optional<long long> st;    // 0 connected, -1 failed
    std::optional<long long> ts;    // start, seconds since 1970
    std::optional<long long> tm;    // connection time, hundredths of a second

    // {"dm":..., "pt":..., "rip":..., "st":..., "ts":..., "tm":...}
    std::string toJsonString() const;
    std::string description() const;
};

class MVOMSADispatcher : public std::enable_shared_from_this<MVOMSADispatcher> {
public:
    using EventCallback = std::function<void(bool success, const std::shared_ptr<MVOMSAEvent>& event)>;
    using BatchCallback = std::function<void(bool success, const MVOMSAStoreEvents& events)>;
    using UnsentCallback = std::function<void(const MVOMSAStoreEvents& events)>;
    // A blocking lookup of a host's IPv4 address as dotted text, or none.
    using Lookup = std::function<std::optional<std::string>(const std::string& host)>;

    static constexpr double kTimeoutSeconds = 10;
    // How long the uploads may still take once the program ends.
    static constexpr double kExitGraceSeconds = 0.5;
    static constexpr double kResolveLimitSeconds = 10;
    static constexpr std::size_t kCompressFrom = 256;  // bytes of the plain array

    static std::shared_ptr<MVOMSADispatcher> getInstance();
    // Tests: forgets the dispatcher (its queue must be idle) and the lookup.
    static void resetForTesting();
    // Tests: resolves with `lookup`, giving up after `limitSeconds`.
    static void setLookupForTesting(Lookup lookup, double limitSeconds);

    ns::SerialQueue& taskQueue() { return queue_; }
    void close() {}
    ~MVOMSADispatcher();

    // The program ends: `seconds` from now the upload in flight is stopped,
    // and no upload is tried after that.
    void stopUploadsAfter(double seconds);
    // Stops them now (and ends the wait of stopUploadsAfter).
    void stopUploads();
    bool uploadsStopped() const;

    // An event longer than maxReportEventLength (other than an error event)
    // is dropped: the callback gets success and no event at once, on this
    // thread. An event with no text is not sent and not called back.
    void sendEvent(const std::shared_ptr<MVOMSAEvent>& event, EventCallback callback);
    void send(const std::shared_ptr<MVOMSAEvent>& event, EventCallback callback);
    // `unsent` (on the queue) gets the events instead when the uploads were
    // stopped before this one got under way.
    void send(const MVOMSAStoreEvents& events, BatchCallback callback, UnsentCallback unsent = {});
    // One exchange with the plain array (on the queue): true on status 200 and "ret" "0";
    // `reply` gets the (deciphered) reply's object (replyObject), nil when
    // there was none; `begun` is set once the exchange is under way
    // (connecting or sending), from when the server may have the body.
    bool nsRequest(const ns::Bytes& plain, ns::Value* reply, bool* begun = nullptr);

    // A deciphered reply read as JSON: the object, or nil for anything else.
    static ns::Value replyObject(const ns::Bytes& reply);
    // Whether a reply's object has a "ret" that reads "0".
    static bool replyAccepted(const ns::Value& object);
    // After a successful upload: the reply object's configuration goes to
    // the configuration holder, when there is one.
    static void takeReply(const ns::Value& object);

    // Now, local time, "yyyy/MM/dd HH:mm:ss:SSS".
    static std::string GetCurTime();
    // "host,port;host,port;..." as "http://host:port" texts; empty entries skipped.
    static std::vector<std::string> splitSpeedString(const std::string& text);
    // Connects to the URL's host and port (80 by default) and times it; the
    // lookup and the connection each get their limit, and both give up
    // (failed) once the uploads are stopped.
    MVOMSATestSpeed taSocket(const std::string& url);
    // Tests every server of the text; sets sp (the results' JSON array), cn
    // (the network's kind) and op (the carrier) of the settings. When the
    // uploads are stopped meanwhile, it ends there and leaves the settings as
    // they were: false.
    bool speedTest(const std::string& text);

    MVOMSADispatcher(const MVOMSADispatcher&) = delete;
    MVOMSADispatcher& operator=(const MVOMSADispatcher&) = delete;

private:
    MVOMSADispatcher() = default;
    // On the queue: posts the texts as one array, calls `done`, then hands a
    // successful reply's configuration to the holder. When the uploads were
    // stopped, `stopped` is called instead, with whether the exchange had got
    // under way.
    void post(std::vector<std::string> texts, std::function<void(bool)> done, std::function<void(bool begun)> stopped);

    ns::SerialQueue queue_{"HttpDispatcher"};

    // The stop at the program's end: once cancelled, the exchange under way
    // fails at once and every later one before it starts (the queue runs
    // them one at a time, so one cancellation serves them all).
    net::Cancellation stop_;
    // The wait of stopUploadsAfter, which stopUploads ends early.
    std::mutex watchMutex_;
    std::condition_variable stopNow_;
    bool stopAsked_ = false;
    std::thread stopWatch_;
};
