#include "net/ReachabilityTarget.h"

#include <atomic>
#include <mutex>

#include "net/Reachability.h"

namespace net {

namespace {

std::atomic<bool> flagsReadable{true};

bool isHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    std::size_t label = 0;
    for (std::size_t i = 0; i < host.size(); ++i) {
        char c = host[i];
        if (c == '.') {
            if (label == 0 || host[i - 1] == '-') return false;
            label = 0;
            continue;
        }
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                  (c == '-' && label > 0);
        if (!ok || ++label > 63) return false;
    }
    return host.back() != '-';
}

}  // namespace

struct ReachabilityTarget::State {
    std::mutex mutex;
    Callback callback;
    std::shared_ptr<ns::DispatchQueue> queue;

    void changed(std::uint32_t flags) {
        Callback cb;
        std::shared_ptr<ns::DispatchQueue> q;
        {
            std::lock_guard lock(mutex);
            cb = callback;
            q = queue;
        }
        if (cb && q) q->async([cb, flags] { cb(flags); });
    }
};

ReachabilityTarget::ReachabilityTarget() : state_(std::make_shared<State>()) {
    std::weak_ptr<State> weak = state_;
    observer_ = Reachability::addObserver([weak](std::uint32_t flags) {
        if (auto state = weak.lock()) state->changed(flags);
    });
}

ReachabilityTarget::~ReachabilityTarget() { Reachability::removeObserver(observer_); }

std::shared_ptr<ReachabilityTarget> ReachabilityTarget::withName(const std::string& host) {
    if (!isHostName(host)) return nullptr;
    std::shared_ptr<ReachabilityTarget> target(new ReachabilityTarget());
    target->host_ = host;
    return target;
}

std::shared_ptr<ReachabilityTarget> ReachabilityTarget::withAddress(const sockaddr_in& address) {
    if (address.sin_family != AF_INET) return nullptr;
    std::shared_ptr<ReachabilityTarget> target(new ReachabilityTarget());
    target->address_ = address;
    return target;
}

bool ReachabilityTarget::getFlags(std::uint32_t* flags) const {
    if (!flagsReadable.load()) {
        if (flags) *flags = 0;
        return false;
    }
    if (flags) *flags = Reachability::flags();
    return true;
}

bool ReachabilityTarget::setCallback(Callback callback) {
    std::lock_guard lock(state_->mutex);
    state_->callback = std::move(callback);
    return true;
}

bool ReachabilityTarget::setDispatchQueue(std::shared_ptr<ns::DispatchQueue> queue) {
    std::lock_guard lock(state_->mutex);
    state_->queue = std::move(queue);
    return true;
}

void ReachabilityTarget::setFlagsReadableForTesting(bool readable) { flagsReadable.store(readable); }

}  // namespace net
