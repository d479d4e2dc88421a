// Shared set-up for the UI layer's tests: a fresh application and a window
// on the manual clock for every test.
#pragma once

#include <gtest/gtest.h>

#include "foundation/RunLoop.h"
#include "support/ScreenTest.h"
#include "uikit/UIKit.h"
#include "uikit/TestDriver.h"

namespace uitest {

class UITest : public testsupport::ScreenTest {};

// A screen that counts its calls.
class TracingScreen : public ui::ViewController {
public:
    void viewDidLoad() override { loads++; }
    void viewWillAppear(bool) override { willAppear++; }
    void viewDidAppear(bool) override { didAppear++; }
    void viewWillDisappear(bool) override { willDisappear++; }
    void viewDidDisappear(bool) override { didDisappear++; }
    int loads = 0, willAppear = 0, didAppear = 0, willDisappear = 0, didDisappear = 0;
};

}  // namespace uitest
