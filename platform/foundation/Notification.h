// The notification centre.
//
// Observers are held weakly: an observer that has gone is dropped and never
// called, and the observer is kept alive while its callback runs. A post is
// delivered synchronously, on the posting thread, to the observers registered
// when the post began, in the order they were added. Adding the same observer
// twice delivers twice.
//
//   auto& nc = ns::NotificationCenter::defaultCenter();
//   nc.addObserver(self, "reloadMessage", &ListScreen::reload);       // member function
//   nc.addObserver(self, ns::UIKeyboardDidShowNotification,
//                  [](const ns::Notification& n) { ... });
//   nc.post("reloadMessage");
//   nc.post(ns::kReachabilityChangedNotification, reachability.get());
//   nc.removeObserver(this);                                          // in the destructor
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "foundation/Value.h"

namespace ns {

inline constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* UIApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* UIApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr const char* UIApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* UIApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* UIApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
inline constexpr const char* kReachabilityChangedNotification = "kReachabilityChangedNotification";

struct Notification {
    std::string name;
    // The sender, compared by address; it is alive for the whole delivery.
    const void* object = nullptr;
    const std::type_info* objectType = nullptr;
    Value userInfo;  // a dictionary, or nil

    // The sender as T when it was posted as a T*, else nullptr.
    template <typename T>
    T* objectAs() const {
        if (!object || !objectType || *objectType != typeid(T)) return nullptr;
        return const_cast<T*>(static_cast<const T*>(object));
    }
};

class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // addObserver:selector:name:object:. An empty name observes every name;
    // a null object accepts every sender. The observer's key for removal is
    // its address (the T* of the pointer given).
    template <typename T>
    void addObserver(const std::weak_ptr<T>& observer, std::string_view name, Callback fn,
                     const void* object = nullptr) {
        auto strong = observer.lock();
        if (!strong) return;
        add(std::weak_ptr<void>(strong), static_cast<const void*>(strong.get()), name, object, std::move(fn));
    }
    template <typename T>
    void addObserver(const std::shared_ptr<T>& observer, std::string_view name, Callback fn,
                     const void* object = nullptr) {
        addObserver(std::weak_ptr<T>(observer), name, std::move(fn), object);
    }
    // A member function of the observer, called on the (live) observer.
    template <typename T, typename U>
    void addObserver(const std::shared_ptr<T>& observer, std::string_view name,
                     void (U::*method)(const Notification&), const void* object = nullptr) {
        std::weak_ptr<T> weak = observer;
        addObserver(weak, name,
                    [weak, method](const Notification& n) {
                        if (auto self = weak.lock()) (self.get()->*method)(n);
                    },
                    object);
    }

    // Every registration of the observer.
    void removeObserver(const void* observer);
    // Its registrations for one name (and, when given, one sender).
    void removeObserver(const void* observer, std::string_view name, const void* object = nullptr);

    void post(std::string_view name, Value userInfo = {}) { postImpl(name, nullptr, nullptr, std::move(userInfo)); }
    template <typename T>
    void post(std::string_view name, const T* object, Value userInfo = {}) {
        postImpl(name, static_cast<const void*>(object), object ? &typeid(T) : nullptr, std::move(userInfo));
    }
    void post(std::string_view name, std::nullptr_t, Value userInfo = {}) {
        postImpl(name, nullptr, nullptr, std::move(userInfo));
    }

    // Live registrations (of one observer, or all).
    std::size_t observerCount() const;
    std::size_t observerCount(const void* observer) const;

    // Forgets every observer. For tests, between cases that share one process.
    void resetForTesting();

private:
    struct Entry;
    void add(std::weak_ptr<void> observer, const void* key, std::string_view name, const void* object, Callback fn);
    void postImpl(std::string_view name, const void* object, const std::type_info* type, Value userInfo);
    void prune(std::vector<std::shared_ptr<Entry>>& out);  // needs mutex_; moves dead entries to out

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace ns
