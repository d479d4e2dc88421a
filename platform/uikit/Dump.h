// The view tree as text, for debugging and test failure messages:
//
//   ui::Window (0, 0, 320, 568)
//     ui::View (0, 0, 320, 568) <SSZTFrontViewController>
//       NavBarView (0, 0, 320, 64)
//         ui::Label (0, 20, 320, 44) "时事新闻"
//         ui::Button (10, 20, 40, 40) hidden
//
// One line per view: class, frame, the text it shows, then hidden, alpha
// below 1, tag and the controller that owns it as its root view.
#pragma once

#include <string>

#include "uikit/View.h"

namespace ui {

std::string dumpViewTree(const View& root, int indent = 0);

// One view's line without indentation or newline.
std::string describeView(const View& view);

}  // namespace ui
