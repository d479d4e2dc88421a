// The window (a view that is the root of a tree on screen) and the screen.
//
//   auto window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
//   window->setRootViewController(nav);
//   window->makeKeyAndVisible();
//
// A window starts hidden. View controllers whose views are in a visible
// window have appeared; hiding the window or taking a view out makes them
// disappear.
#pragma once

#include <memory>

#include "uikit/View.h"

namespace ui {

class ViewController;

using WindowLevel = double;
inline constexpr WindowLevel WindowLevelNormal = 0;
inline constexpr WindowLevel WindowLevelStatusBar = 1000;
inline constexpr WindowLevel WindowLevelAlert = 2000;

class Window : public View {
public:
    void init(const Rect& frame) override;

    std::shared_ptr<ViewController> rootViewController() const { return rootViewController_; }
    // Puts the controller's view in the window (filling it) in place of the
    // previous root's.
    void setRootViewController(const std::shared_ptr<ViewController>& vc);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    WindowLevel windowLevel() const { return level_; }
    void setWindowLevel(WindowLevel level) { level_ = level; }

    void setHidden(bool hidden) override;
    std::shared_ptr<Responder> nextResponder() const override;

private:
    std::shared_ptr<ViewController> rootViewController_;
    WindowLevel level_ = WindowLevelNormal;
};

using WindowPtr = std::shared_ptr<Window>;

// The device screen: 320 x 568 points by default (320 x 480 can be set), scale
// 2, with a 20-point status bar over the top of full-screen content.
class Screen {
public:
    static Screen& mainScreen();

    Rect bounds() const { return Rect(0, 0, size_.width, size_.height); }
    // The screen minus the status bar.
    Rect applicationFrame() const { return Rect(0, kStatusBarHeight, size_.width, size_.height - kStatusBarHeight); }
    double scale() const { return scale_; }

    // Device settings for tests and the host.
    void setSize(Size size) { size_ = size; }
    void setScale(double scale) { scale_ = scale; }
    void resetForTesting();

    static constexpr double kStatusBarHeight = 20;

private:
    Size size_{320, 568};
    double scale_ = 2;
};

}  // namespace ui
