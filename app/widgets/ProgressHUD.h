// The shared progress overlay, driven through class methods:
//
//   ProgressHUD::showWithTitle("", "加载中...");
//   ProgressHUD::dismissWithSuccess("加载成功！", "", 0.5f);   // closes 0.5 s later
//   ProgressHUD::dismiss();                                   // closes now
//
// The overlay is a box with a title and a status text in a window of its own
// above the screens; while up, that window is the key window, and closing
// hands key status back. Touches pass through to the screens below.
// Every call runs on the main run loop (calls from other threads are posted
// there). A delayed dismissal is dropped by any later show or dismissal;
// success and error while the overlay is down do nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/RunLoop.h"
#include "uikit/Label.h"
#include "uikit/View.h"
#include "uikit/Window.h"

class ProgressHUD : public std::enable_shared_from_this<ProgressHUD> {
public:
    enum class State { Hidden, Progress, Success, Error };

    static void showWithTitle(const std::string& title, const std::string& status);
    static void dismissWithSuccess(const std::string& status, const std::string& title, float delay);
    static void dismissWithError(const std::string& status, const std::string& title, float delay);
    static void dismiss();

    // How many times the overlay has been shown so far (main thread). One who
    // notes it after showing the overlay can later tell whether the progress
    // on screen is still the one it put up.
    static unsigned long showCount();

    // ---- For tests and debugging (main thread) ----
    static State state();
    static bool isVisible() { return state() != State::Hidden; }
    static std::string currentTitle();
    static std::string currentStatus();
    // The overlay's window while it is up, else nullptr.
    static std::shared_ptr<ui::Window> overlayWindow();
    // Drops the shared overlay (its window and any pending dismissal).
    static void resetForTesting();
    // Told of what the overlay shows, as it shows it: Progress with the status
    // when it goes up, Success or Error with the status and the delay before
    // it closes, Hidden when it closes (nullptr: nobody).
    struct Change {
        State state;
        std::string status;
        double delay = 0;
        bool operator==(const Change&) const = default;
    };
    static void setObserver(std::function<void(const Change&)> observer);

    ProgressHUD() = default;
    ProgressHUD(const ProgressHUD&) = delete;
    ProgressHUD& operator=(const ProgressHUD&) = delete;
    ~ProgressHUD();

    static constexpr ui::WindowLevel kWindowLevel = ui::WindowLevelStatusBar;

private:
    static std::shared_ptr<ProgressHUD>& shared();
    static void onMain(std::function<void()> fn);

    void show(const std::string& title, const std::string& status);
    void finish(State state, const std::string& status, const std::string& title, float delay);
    void close();
    void build();
    void layout();
    void cancelPendingDismissal();
    bool onScreen() const;

    State state_ = State::Hidden;
    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<ui::View> box_;
    std::shared_ptr<ui::View> spinner_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::Label> statusLabel_;
    std::shared_ptr<ui::Label> markLabel_;
    std::weak_ptr<ui::Window> previousKeyWindow_;
    ns::TimerPtr dismissTimer_;
};
