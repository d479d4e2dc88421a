// The statistics reporter's reachability: whether the network can be
// reached, and whether through Wi-Fi or the mobile network (WWAN), for one
// reachability target (net/ReachabilityTarget.h); and, while its notifier
// runs, the change blocks and the "kReachabilityChangedNotification".
//
//   auto r = MVOMSAReachability::reachabilityForInternetConnection();
//   if (r->isReachableViaWiFi()) ...
//   r->setReachableBlock([](const MVOMSAReachabilityPtr& r) { ... });   // on the notifier's queue
//   r->startNotifier();    // keeps r alive until stopNotifier()
//
// Queries read the target's flags on the caller's thread; flags that cannot
// be read answer NO (or 0). Change blocks run on the object's own serial
// queue; the notification is posted on the main queue with the object as
// its sender. Thread-safe.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "foundation/Dispatch.h"
#include "net/ReachabilityTarget.h"

class MVOMSAReachability;
using MVOMSAReachabilityPtr = std::shared_ptr<MVOMSAReachability>;

class MVOMSAReachability : public std::enable_shared_from_this<MVOMSAReachability> {
public:
    enum NetworkStatus { NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };
    using Block = std::function<void(const MVOMSAReachabilityPtr&)>;

    // nullptr when the platform cannot make the target.
    static MVOMSAReachabilityPtr reachabilityWithHostname(const std::string& hostname);
    static MVOMSAReachabilityPtr reachabilityWithAddress(const sockaddr_in& address);
    // The zero IPv4 address: the internet in general.
    static MVOMSAReachabilityPtr reachabilityForInternetConnection();
    // The IPv4 link-local network (169.254.0.0).
    static MVOMSAReachabilityPtr reachabilityForLocalWiFi();
    // Keeps the target; reachableOnWWAN starts YES.
    static MVOMSAReachabilityPtr initWithReachabilityRef(std::shared_ptr<net::ReachabilityTarget> ref);

    ~MVOMSAReachability();
    MVOMSAReachability(const MVOMSAReachability&) = delete;
    MVOMSAReachability& operator=(const MVOMSAReachability&) = delete;

    const std::shared_ptr<net::ReachabilityTarget>& reachabilityRef() const { return ref_; }
    std::shared_ptr<ns::SerialQueue> reachabilitySerialQueue() const;
    MVOMSAReachabilityPtr reachabilityObject() const;

    // Whether a connection over the mobile network counts as reachable.
    bool reachableOnWWAN() const { return reachableOnWWAN_.load(); }
    void setReachableOnWWAN(bool value) { reachableOnWWAN_.store(value); }
    void setReachableBlock(Block block);
    void setUnreachableBlock(Block block);

    // Starts the change callbacks on the object's own queue; YES when they run.
    bool startNotifier();
    void stopNotifier();

    bool isReachableWithFlags(std::uint32_t flags) const;
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool connectionRequired() const;
    bool isConnectionRequired() const { return connectionRequired(); }
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    NetworkStatus currentReachabilityStatus() const;
    std::uint32_t reachabilityFlags() const;
    // "Cellular", "WiFi" or "No Connection", through the main bundle's
    // localised texts (none are bundled, so the key itself).
    std::string currentReachabilityString() const;
    // "WR ctiCDld", each letter '-' when its flag is clear.
    std::string currentReachabilityFlags() const;

    // Calls the reachable or unreachable block, then posts the notification
    // on the main queue.
    void reachabilityChanged(std::uint32_t flags);

private:
    explicit MVOMSAReachability(std::shared_ptr<net::ReachabilityTarget> ref) : ref_(std::move(ref)) {}
    bool currentFlags(std::uint32_t* flags) const;

    std::shared_ptr<net::ReachabilityTarget> ref_;
    std::atomic<bool> reachableOnWWAN_{true};
    mutable std::mutex mutex_;
    std::shared_ptr<ns::SerialQueue> queue_;
    MVOMSAReachabilityPtr self_;  // reachabilityObject, while the notifier runs
    Block reachableBlock_, unreachableBlock_;
};
