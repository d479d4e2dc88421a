// A reachability target: one host name or IPv4 address whose reachability a
// program asks for, and can watch, as the phone's system offers it.
//
//   auto target = net::ReachabilityTarget::withName("stat.example.org");   // nullptr: not a host name
//   std::uint32_t flags = 0;
//   if (target->getFlags(&flags)) ...                    // the nine ReachabilityFlag bits
//   target->setCallback([](std::uint32_t flags) { ... });
//   target->setDispatchQueue(queue);                     // changes arrive on the queue
//   net::Reachability::setFlags(net::kReachabilityReachable);   // tests: fires the callback
//
// Every target answers with the flags of the network switch
// (Reachability.h): the host's interfaces, or what a test or setting put
// there. A change of those flags calls the callback of every target that has
// both a callback and a queue, with the new flags, as a task on its queue.
// Thread-safe.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/Dispatch.h"

namespace net {

class ReachabilityTarget {
public:
    using Callback = std::function<void(std::uint32_t flags)>;

    // A target for the host name; nullptr when it is not one (empty, longer
    // than 253 characters, or with characters or labels a host name cannot
    // have).
    static std::shared_ptr<ReachabilityTarget> withName(const std::string& host);
    // A target for the IPv4 socket address; nullptr unless it is one (family
    // AF_INET).
    static std::shared_ptr<ReachabilityTarget> withAddress(const sockaddr_in& address);

    ~ReachabilityTarget();
    ReachabilityTarget(const ReachabilityTarget&) = delete;
    ReachabilityTarget& operator=(const ReachabilityTarget&) = delete;

    // The current flags; false (and 0) when they cannot be read.
    bool getFlags(std::uint32_t* flags) const;

    // The change callback (an empty function removes it). Always succeeds.
    bool setCallback(Callback callback);
    // The queue callbacks run on (nullptr detaches the target from it).
    bool setDispatchQueue(std::shared_ptr<ns::DispatchQueue> queue);

    const std::string& hostName() const { return host_; }  // "" for an address target
    const sockaddr_in& address() const { return address_; }

    // Tests: while NO, no target can read its flags.
    static void setFlagsReadableForTesting(bool readable);

    struct State;

private:
    ReachabilityTarget();
    std::string host_;
    sockaddr_in address_{};
    std::shared_ptr<State> state_;
    int observer_ = 0;
};

}  // namespace net
