#include "net/NetworkActivity.h"

#include <mutex>

namespace net {

namespace {
std::mutex gMutex;
int gCount = 0;
std::function<void(bool)> gObserver;

void change(int delta) {
    std::function<void(bool)> observer;
    bool visible = false;
    {
        std::lock_guard lock(gMutex);
        bool before = gCount > 0;
        gCount += delta;
        if (gCount < 0) gCount = 0;
        visible = gCount > 0;
        if (visible != before) observer = gObserver;
    }
    if (observer) observer(visible);
}
}  // namespace

void NetworkActivity::increment() { change(1); }
void NetworkActivity::decrement() { change(-1); }

int NetworkActivity::count() {
    std::lock_guard lock(gMutex);
    return gCount;
}

void NetworkActivity::setObserver(std::function<void(bool)> observer) {
    std::lock_guard lock(gMutex);
    gObserver = std::move(observer);
}

void NetworkActivity::resetForTesting() {
    std::lock_guard lock(gMutex);
    gCount = 0;
}

}  // namespace net
