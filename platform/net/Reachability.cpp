#include "net/Reachability.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace net {

namespace {

struct State {
    std::mutex mutex;
    std::optional<std::uint32_t> override;
    std::map<int, Reachability::Observer> observers;
    int nextToken = 1;
};

State& state() {
    static State s;
    return s;
}

void notify(std::uint32_t before, std::uint32_t after) {
    if (before == after) return;
    std::vector<Reachability::Observer> copy;
    {
        std::lock_guard lock(state().mutex);
        for (auto& [token, fn] : state().observers) copy.push_back(fn);
    }
    for (auto& fn : copy) fn(after);
}

}  // namespace

std::uint32_t Reachability::hostFlags() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    std::uint32_t flags = 0;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        flags = kReachabilityReachable;
        break;
    }
    freeifaddrs(list);
    return flags;
}

std::uint32_t Reachability::flags() {
    {
        std::lock_guard lock(state().mutex);
        if (state().override) return *state().override;
    }
    return hostFlags();
}

bool Reachability::isReachable() {
    std::uint32_t f = flags();
    return (f & kReachabilityReachable) && !(f & kReachabilityConnectionRequired);
}

bool Reachability::isWWAN() { return flags() & kReachabilityIsWWAN; }

void Reachability::setFlags(std::uint32_t f) {
    std::uint32_t before = flags();
    {
        std::lock_guard lock(state().mutex);
        state().override = f;
    }
    notify(before, f);
}

void Reachability::setReachable(bool reachable, bool wwan) {
    setFlags(reachable ? (kReachabilityReachable | (wwan ? kReachabilityIsWWAN : 0u)) : 0u);
}

bool Reachability::isOverridden() {
    std::lock_guard lock(state().mutex);
    return state().override.has_value();
}

void Reachability::clearOverride() {
    std::uint32_t before = flags();
    {
        std::lock_guard lock(state().mutex);
        state().override.reset();
    }
    notify(before, flags());
}

int Reachability::addObserver(Observer observer) {
    std::lock_guard lock(state().mutex);
    int token = state().nextToken++;
    state().observers[token] = std::move(observer);
    return token;
}

void Reachability::removeObserver(int token) {
    std::lock_guard lock(state().mutex);
    state().observers.erase(token);
}

}  // namespace net
