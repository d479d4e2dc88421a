// Set-up for the tests of the screen framework's widgets: a fresh
// application, a visible key window and the manual clock.
#pragma once

#include <gtest/gtest.h>

#include "app/ProgressHUD.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace widgettest {

class WidgetTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        driver = std::make_unique<ui::TestDriver>();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        ProgressHUD::resetForTesting();
        window.reset();
        driver.reset();
        ui::Application::resetForTesting();
    }

    // Shows the controller as the window's root.
    void showRoot(const std::shared_ptr<ui::ViewController>& vc) {
        window->setRootViewController(vc);
        ui::Application::sharedApplication().layoutIfNeeded();
    }

    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
};

}  // namespace widgettest
