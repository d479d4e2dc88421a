// The count of exchanges in flight behind the application's network activity
// indicator: the indicator shows while the count is above zero. The transport
// counts its requests here; the application object reads it.
#pragma once

#include <functional>

namespace net {

class NetworkActivity {
public:
    static void increment();
    static void decrement();  // never below zero
    static int count();
    static bool visible() { return count() > 0; }

    // Called (on the thread that changed the count) when visibility changes.
    static void setObserver(std::function<void(bool visible)> observer);

    static void resetForTesting();
};

}  // namespace net
