#include "mervio/reporter/MVOMSAReachability.h"

#include "foundation/Notification.h"
#include "net/Reachability.h"

namespace {

MVOMSAReachabilityPtr forAddress(std::uint32_t hostOrderAddress) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return MVOMSAReachability::reachabilityWithAddress(address);
}

}  // namespace

MVOMSAReachabilityPtr MVOMSAReachability::reachabilityWithHostname(const std::string& hostname) {
    return initWithReachabilityRef(net::ReachabilityTarget::withName(hostname));
}

MVOMSAReachabilityPtr MVOMSAReachability::reachabilityWithAddress(const sockaddr_in& address) {
    return initWithReachabilityRef(net::ReachabilityTarget::withAddress(address));
}

MVOMSAReachabilityPtr MVOMSAReachability::reachabilityForInternetConnection() { return forAddress(0); }

MVOMSAReachabilityPtr MVOMSAReachability::reachabilityForLocalWiFi() { return forAddress(0xA9FE0000u); }

MVOMSAReachabilityPtr MVOMSAReachability::initWithReachabilityRef(std::shared_ptr<net::ReachabilityTarget> ref) {
    if (!ref) return nullptr;
    return MVOMSAReachabilityPtr(new MVOMSAReachability(std::move(ref)));
}

MVOMSAReachability::~MVOMSAReachability() {
    ref_->setCallback(nullptr);
    ref_->setDispatchQueue(nullptr);
}

std::shared_ptr<ns::SerialQueue> MVOMSAReachability::reachabilitySerialQueue() const {
    std::lock_guard lock(mutex_);
    return queue_;
}

MVOMSAReachabilityPtr MVOMSAReachability::reachabilityObject() const {
    std::lock_guard lock(mutex_);
    return self_;
}

void MVOMSAReachability::setReachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    reachableBlock_ = std::move(block);
}

void MVOMSAReachability::setUnreachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    unreachableBlock_ = std::move(block);
}

bool MVOMSAReachability::startNotifier() {
    auto queue = std::make_shared<ns::SerialQueue>("MVOMSAReachability");
    {
        std::lock_guard lock(mutex_);
        self_ = shared_from_this();
        queue_ = queue;
    }
    std::weak_ptr<MVOMSAReachability> weak = weak_from_this();
    bool started = ref_->setCallback([weak](std::uint32_t flags) {
        if (auto self = weak.lock()) self->reachabilityChanged(flags);
    });
    if (started && ref_->setDispatchQueue(queue)) return true;
    if (started) ref_->setCallback(nullptr);
    std::lock_guard lock(mutex_);
    queue_.reset();
    self_.reset();
    return false;
}

void MVOMSAReachability::stopNotifier() {
    ref_->setCallback(nullptr);
    ref_->setDispatchQueue(nullptr);
    std::shared_ptr<ns::SerialQueue> queue;
    MVOMSAReachabilityPtr self;
    {
        std::lock_guard lock(mutex_);
        queue = std::move(queue_);
        self = std::move(self_);
    }
    // Both go here, outside the lock; `self` may be the last reference.
}

bool MVOMSAReachability::currentFlags(std::uint32_t* flags) const { return ref_->getFlags(flags); }

bool MVOMSAReachability::isReachableWithFlags(std::uint32_t flags) const {
    bool reachable = (flags & net::kReachabilityReachable) &&
                     !((flags & net::kReachabilityConnectionRequired) && (flags & net::kReachabilityTransientConnection));
    if (flags & net::kReachabilityIsWWAN) reachable = reachable && reachableOnWWAN();
    return reachable;
}

bool MVOMSAReachability::isReachable() const {
    std::uint32_t flags = 0;
    return currentFlags(&flags) && isReachableWithFlags(flags);
}

bool MVOMSAReachability::isReachableViaWWAN() const {
    std::uint32_t flags = 0;
    return currentFlags(&flags) && (flags & net::kReachabilityReachable) && (flags & net::kReachabilityIsWWAN);
}

bool MVOMSAReachability::isReachableViaWiFi() const {
    std::uint32_t flags = 0;
    return currentFlags(&flags) && (flags & net::kReachabilityReachable) && !(flags & net::kReachabilityIsWWAN);
}

bool MVOMSAReachability::connectionRequired() const {
    std::uint32_t flags = 0;
    return currentFlags(&flags) && (flags & net::kReachabilityConnectionRequired);
}

bool MVOMSAReachability::isConnectionOnDemand() const {
    std::uint32_t flags = 0;
    return currentFlags(&flags) && (flags & net::kReachabilityConnectionRequired) &&
           (flags & (net::kReachabilityConnectionOnTraffic | net::kReachabilityConnectionOnDemand));
}

bool MVOMSAReachability::isInterventionRequired() const {
    std::uint32_t flags = 0;
    return currentFlags(&flags) && (flags & net::kReachabilityConnectionRequired) &&
           (flags & net::kReachabilityInterventionRequired);
}

MVOMSAReachability::NetworkStatus MVOMSAReachability::currentReachabilityStatus() const {
    if (!isReachable()) return NotReachable;
    return isReachableViaWiFi() ? ReachableViaWiFi : ReachableViaWWAN;
}

std::uint32_t MVOMSAReachability::reachabilityFlags() const {
    std::uint32_t flags = 0;
    return currentFlags(&flags) ? flags : 0;
}

std::string MVOMSAReachability::currentReachabilityString() const {
    switch (currentReachabilityStatus()) {
        case ReachableViaWWAN: return "Cellular";
        case ReachableViaWiFi: return "WiFi";
        default: return "No Connection";
    }
}

std::string MVOMSAReachability::currentReachabilityFlags() const {
    std::uint32_t flags = reachabilityFlags();
    auto mark = [flags](std::uint32_t bit, char letter) { return (flags & bit) ? letter : '-'; };
    std::string text;
    text += mark(net::kReachabilityIsWWAN, 'W');
    text += mark(net::kReachabilityReachable, 'R');
    text += ' ';
    text += mark(net::kReachabilityConnectionRequired, 'c');
    text += mark(net::kReachabilityTransientConnection, 't');
    text += mark(net::kReachabilityInterventionRequired, 'i');
    text += mark(net::kReachabilityConnectionOnTraffic, 'C');
    text += mark(net::kReachabilityConnectionOnDemand, 'D');
    text += mark(net::kReachabilityIsLocalAddress, 'l');
    text += mark(net::kReachabilityIsDirect, 'd');
    return text;
}

void MVOMSAReachability::reachabilityChanged(std::uint32_t flags) {
    Block block;
    {
        std::lock_guard lock(mutex_);
        block = isReachableWithFlags(flags) ? reachableBlock_ : unreachableBlock_;
    }
    MVOMSAReachabilityPtr self = shared_from_this();
    if (block) block(self);
    ns::mainQueue().async([self] {
        ns::NotificationCenter::defaultCenter().post(ns::kReachabilityChangedNotification, self.get());
    });
}
