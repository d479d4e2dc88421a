// The network's reachability, as the phone's system reports it.
//
// On this host the answer comes from the interfaces: an interface that is up
// with a non-loopback IPv4 address makes the network reachable (not WWAN).
// Tests and settings switch it with setFlags(); while flags set that way say
// "not reachable", every HTTP exchange fails at once with a connection
// failure. (The host's own answer never stops an exchange: the network
// stack reports what really happens.)
#pragma once

#include <cstdint>
#include <functional>

namespace net {

enum ReachabilityFlag : std::uint32_t {
    kReachabilityTransientConnection = 1u << 0,
    kReachabilityReachable = 1u << 1,
    kReachabilityConnectionRequired = 1u << 2,
    kReachabilityConnectionOnTraffic = 1u << 3,
    kReachabilityInterventionRequired = 1u << 4,
    kReachabilityConnectionOnDemand = 1u << 5,
    kReachabilityIsLocalAddress = 1u << 16,
    kReachabilityIsDirect = 1u << 17,
    kReachabilityIsWWAN = 1u << 18,
};

class Reachability {
public:
    using Observer = std::function<void(std::uint32_t flags)>;

    // The flags in force: the ones set, else the host's.
    static std::uint32_t flags();
    static bool isReachable();  // Reachable and no connection required
    static bool isWWAN();

    // Sets the flags (overriding the host's) and tells every observer, on the
    // calling thread, when they changed.
    static void setFlags(std::uint32_t flags);
    static void setReachable(bool reachable, bool wwan = false);
    static bool isOverridden();
    // Back to the host's interfaces (observers are told when that changes the flags).
    static void clearOverride();

    static int addObserver(Observer observer);  // returns a token
    static void removeObserver(int token);

    // The flags from the host's interfaces, ignoring any override.
    static std::uint32_t hostFlags();
};

}  // namespace net
