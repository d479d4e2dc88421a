#include "foundation/Notification.h"

#include <algorithm>
#include <atomic>

namespace ns {

struct NotificationCenter::Entry {
    std::weak_ptr<void> observer;
    const void* key;
    std::string name;  // empty: every name
    const void* object;  // null: every sender
    Callback fn;
    std::atomic<bool> removed{false};

    bool matches(std::string_view n, const void* sender) const {
        return (name.empty() || name == n) && (!object || object == sender);
    }
};

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: observers may be removed from destructors run at exit.
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

void NotificationCenter::add(std::weak_ptr<void> observer, const void* key, std::string_view name,
                             const void* object, Callback fn) {
    if (!fn) return;
    auto e = std::make_shared<Entry>();
    e->observer = std::move(observer);
    e->key = key;
    e->name = std::string(name);
    e->object = object;
    e->fn = std::move(fn);
    std::vector<std::shared_ptr<Entry>> gone;  // callbacks released outside the lock
    std::lock_guard<std::mutex> lock(mutex_);
    prune(gone);
    entries_.push_back(std::move(e));
}

void NotificationCenter::prune(std::vector<std::shared_ptr<Entry>>& out) {
    auto dead = [](const std::shared_ptr<Entry>& e) { return e->removed || e->observer.expired(); };
    for (auto& e : entries_)
        if (dead(e)) out.push_back(e);
    std::erase_if(entries_, dead);
}

void NotificationCenter::removeObserver(const void* observer) {
    std::vector<std::shared_ptr<Entry>> gone;  // callbacks released outside the lock
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& e : entries_)
        if (e->key == observer) {
            e->removed = true;
        }
    prune(gone);
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name, const void* object) {
    std::vector<std::shared_ptr<Entry>> gone;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& e : entries_)
        if (e->key == observer && e->name == name && (!object || e->object == object)) {
            e->removed = true;
        }
    prune(gone);
}

void NotificationCenter::postImpl(std::string_view name, const void* object, const std::type_info* type,
                                  Value userInfo) {
    Notification n{std::string(name), object, type, std::move(userInfo)};
    std::vector<std::shared_ptr<Entry>> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& e : entries_)
            if (!e->removed && e->matches(name, object)) targets.push_back(e);
    }
    bool sawDead = false;
    for (auto& e : targets) {
        // An observer removed by an earlier callback of this post is not called.
        if (e->removed) continue;
        auto alive = e->observer.lock();
        if (!alive) {
            sawDead = true;
            continue;
        }
        e->fn(n);
    }
    if (sawDead) {
        std::vector<std::shared_ptr<Entry>> gone;
        std::lock_guard<std::mutex> lock(mutex_);
        prune(gone);
    }
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [](const auto& e) {
        return !e->removed && !e->observer.expired();
    }));
}

std::size_t NotificationCenter::observerCount(const void* observer) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [&](const auto& e) {
        return e->key == observer && !e->removed && !e->observer.expired();
    }));
}

void NotificationCenter::resetForTesting() {
    std::vector<std::shared_ptr<Entry>> gone;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& e : entries_) e->removed = true;
    gone.swap(entries_);
}

}  // namespace ns
