#include "net/Alert.h"

#include <mutex>

#include "foundation/Log.h"

namespace net {

namespace {
std::mutex gMutex;
AlertPresenter gPresenter;
}  // namespace

AlertPresenter setAlertPresenter(AlertPresenter presenter) {
    std::lock_guard lock(gMutex);
    AlertPresenter previous = std::move(gPresenter);
    gPresenter = std::move(presenter);
    return previous;
}

void presentAlert(const Alert& alert) {
    AlertPresenter presenter;
    {
        std::lock_guard lock(gMutex);
        presenter = gPresenter;
    }
    if (presenter)
        presenter(alert);
    else
        ns::NSLog("%@: %@ [%@]", alert.title, alert.message, alert.cancelButton);
}

}  // namespace net
