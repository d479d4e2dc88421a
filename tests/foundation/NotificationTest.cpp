#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Notification.h"

namespace {

using ns::Notification;
using ns::NotificationCenter;

struct Screen {
    std::vector<std::string> seen;
    void reload(const Notification& n) { seen.push_back(n.name); }
};

struct Reachability {
    int status = 2;
};

class NotificationTest : public testing::Test {
protected:
    void SetUp() override { nc.resetForTesting(); }
    void TearDown() override { nc.resetForTesting(); }
    NotificationCenter& nc = NotificationCenter::defaultCenter();
};

TEST_F(NotificationTest, DeliversByNameWithObjectAndUserInfo) {
    auto screen = std::make_shared<Screen>();
    nc.addObserver(screen, "reloadMessage", &Screen::reload);
    ns::Value info;
    nc.addObserver(screen, ns::UIKeyboardDidShowNotification, [&](const Notification& n) { info = n.userInfo; });
    nc.post("reloadPartyMessage");
    EXPECT_TRUE(screen->seen.empty());
    nc.post("reloadMessage");
    EXPECT_EQ(screen->seen, (std::vector<std::string>{"reloadMessage"}));
    nc.post(ns::UIKeyboardDidShowNotification, ns::Value::dictionary({{"height", 216}}));
    EXPECT_EQ(info["height"].intValue(), 216);
}

TEST_F(NotificationTest, ObjectFilterAndTypedSender) {
    auto screen = std::make_shared<Screen>();
    Reachability wifi, other;
    int fromWifi = 0, fromAny = 0, status = 0;
    nc.addObserver(screen, ns::kReachabilityChangedNotification, [&](const Notification&) { ++fromWifi; }, &wifi);
    nc.addObserver(screen, ns::kReachabilityChangedNotification, [&](const Notification& n) {
        ++fromAny;
        if (auto* r = n.objectAs<Reachability>()) status = r->status;
        EXPECT_EQ(n.objectAs<Screen>(), nullptr);  // posted as a Reachability
    });
    nc.post(ns::kReachabilityChangedNotification, &other);
    nc.post(ns::kReachabilityChangedNotification, &wifi);
    nc.post(ns::kReachabilityChangedNotification);
    EXPECT_EQ(fromWifi, 1);
    EXPECT_EQ(fromAny, 3);
    EXPECT_EQ(status, 2);
}

TEST_F(NotificationTest, ObserverThatDiesBeforeAPostIsDroppedNotCalled) {
    auto screen = std::make_shared<Screen>();
    int calls = 0;
    nc.addObserver(screen, "reloadMessage", [&](const Notification&) { ++calls; });
    nc.addObserver(screen, "reloadMessage", &Screen::reload);
    EXPECT_EQ(nc.observerCount(screen.get()), 2u);
    screen.reset();  // gone without removing itself
    nc.post("reloadMessage");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(nc.observerCount(), 0u);
}

TEST_F(NotificationTest, AddingTwiceDeliversTwiceAndRemoveTakesEveryRegistration) {
    auto screen = std::make_shared<Screen>();
    nc.addObserver(screen, ns::UIApplicationDidEnterBackgroundNotification, &Screen::reload);
    nc.addObserver(screen, ns::UIApplicationDidEnterBackgroundNotification, &Screen::reload);
    nc.addObserver(screen, ns::UIApplicationWillTerminateNotification, &Screen::reload);
    nc.post(ns::UIApplicationDidEnterBackgroundNotification);
    EXPECT_EQ(screen->seen.size(), 2u);

    nc.removeObserver(screen.get(), ns::UIApplicationDidEnterBackgroundNotification);
    nc.post(ns::UIApplicationDidEnterBackgroundNotification);
    nc.post(ns::UIApplicationWillTerminateNotification);
    EXPECT_EQ(screen->seen.size(), 3u);

    nc.removeObserver(screen.get());
    nc.post(ns::UIApplicationWillTerminateNotification);
    EXPECT_EQ(screen->seen.size(), 3u);
}

TEST_F(NotificationTest, ChangesDuringAPost) {
    auto a = std::make_shared<Screen>(), b = std::make_shared<Screen>(), late = std::make_shared<Screen>();
    std::vector<std::string> order;
    nc.addObserver(a, "reloadMessage", [&](const Notification&) {
        order.push_back("a");
        nc.removeObserver(b.get());  // b is not called for this post
        nc.addObserver(late, "reloadMessage", [&](const Notification&) { order.push_back("late"); });
        nc.post("reloadPartyMessage");  // nested post on the same thread
    });
    nc.addObserver(b, "reloadMessage", [&](const Notification&) { order.push_back("b"); });
    nc.addObserver(a, "reloadPartyMessage", [&](const Notification&) { order.push_back("party"); });
    nc.post("reloadMessage");
    EXPECT_EQ(order, (std::vector<std::string>{"a", "party"}));
}

TEST_F(NotificationTest, ObserverRemovingItselfFromItsDestructorDuringPost) {
    // The last outside reference is dropped inside the callback; the observer
    // stays alive until its callback returns, then removes itself.
    struct SelfRemoving {
        ~SelfRemoving() { NotificationCenter::defaultCenter().removeObserver(this); }
    };
    auto obs = std::make_shared<SelfRemoving>();
    std::weak_ptr<SelfRemoving> weak = obs;
    bool aliveDuringCall = false;
    nc.addObserver(obs, "reloadMessage", [&](const Notification&) {
        obs.reset();
        aliveDuringCall = !weak.expired();
    });
    nc.post("reloadMessage");
    EXPECT_TRUE(aliveDuringCall);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(nc.observerCount(), 0u);
}

TEST_F(NotificationTest, DeliveredOnThePostingThread) {
    auto screen = std::make_shared<Screen>();
    std::atomic<int> calls{0};
    std::thread::id deliveredOn;
    nc.addObserver(screen, ns::UIApplicationWillResignActiveNotification, [&](const Notification&) {
        deliveredOn = std::this_thread::get_id();
        ++calls;
    });
    std::thread::id poster;
    std::thread t([&] {
        poster = std::this_thread::get_id();
        nc.post(ns::UIApplicationWillResignActiveNotification);
    });
    t.join();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(deliveredOn, poster);
}

TEST_F(NotificationTest, ConcurrentPostsAndRegistrations) {
    auto screen = std::make_shared<Screen>();
    std::atomic<int> calls{0};
    nc.addObserver(screen, "tick", [&](const Notification&) { ++calls; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto temp = std::make_shared<int>(i);
                nc.addObserver(temp, "other", [](const Notification&) {});
                nc.post("tick");
                if (i % 2) nc.removeObserver(temp.get());
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(calls.load(), 800);
    nc.post("other");
    EXPECT_EQ(nc.observerCount(), 1u);
}

}  // namespace
