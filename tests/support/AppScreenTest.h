// Set-up for tests of the program's own screens (link kl_app): the screen
// set-up of ScreenTest with the window key and visible, and the progress
// overlay cleared before and after each test.
#pragma once

#include "app/widgets/ProgressHUD.h"
#include "support/ScreenTest.h"

namespace testsupport {

class AppScreenTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        window->makeKeyAndVisible();
    }
    void resetLayerState() override { ProgressHUD::resetForTesting(); }
};

}  // namespace testsupport
