// Set-up for tests of views and screens: a fresh application, the manual
// clock (TestDriver) and a full-screen window for every test. The window is
// not shown; subclasses that need it visible call makeKeyAndVisible().
//
//   class MyTest : public testsupport::ScreenTest {
//       void SetUp() override { ScreenTest::SetUp(); window->makeKeyAndVisible(); }
//   };
//
// A layer above the UI with process-wide state of its own (the progress
// overlay) clears it in resetLayerState(), which runs right after the
// application is reset at set-up and first thing at tear-down.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace testsupport {

class ScreenTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        resetLayerState();
        driver = std::make_unique<ui::TestDriver>();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
    }
    void TearDown() override {
        resetLayerState();
        window.reset();
        driver.reset();
        ui::Application::resetForTesting();
    }

    virtual void resetLayerState() {}

    // Shows the controller as the window's root.
    void showRoot(const std::shared_ptr<ui::ViewController>& vc) {
        window->setRootViewController(vc);
        ui::Application::sharedApplication().layoutIfNeeded();
    }

    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
};

}  // namespace testsupport
