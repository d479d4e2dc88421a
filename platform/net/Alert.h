// Alerts that the network layer raises for the user (time-out, no network).
// The UIKit layer installs a presenter that shows them as alert views; until
// one is installed they go to the log. Tests install their own presenter to
// see them.
#pragma once

#include <functional>
#include <string>

namespace net {

struct Alert {
    std::string title;
    std::string message;
    std::string cancelButton;
};

using AlertPresenter = std::function<void(const Alert&)>;

// Installs the presenter (an empty function restores the default, the log).
// Returns the one it replaces.
AlertPresenter setAlertPresenter(AlertPresenter presenter);

// Shows the alert through the presenter, on the calling thread.
void presentAlert(const Alert& alert);

}  // namespace net
