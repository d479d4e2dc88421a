// Set-up for the tests of the screen framework's widgets: a fresh
// application, a visible key window and the manual clock.
#pragma once

#include <gtest/gtest.h>

#include "app/widgets/ProgressHUD.h"
#include "support/AppScreenTest.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace widgettest {

class WidgetTest : public testsupport::AppScreenTest {};

}  // namespace widgettest
