// Shared set-up for the UI layer's tests: a fresh application and a window
// on the manual clock for every test.
#pragma once

#include <gtest/gtest.h>
#include <pango/pango.h>

#include <string>
#include <vector>

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

// The lines of a pango layout: the text of each and its width in points.
struct LaidOutLine {
    std::string text;
    double width = 0;
};
inline std::vector<LaidOutLine> linesOf(PangoLayout* layout) {
    const char* laidOut = pango_layout_get_text(layout);
    std::vector<LaidOutLine> lines;
    for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
        auto* line = static_cast<PangoLayoutLine*>(l->data);
        PangoRectangle logical;
        pango_layout_line_get_extents(line, nullptr, &logical);
        lines.push_back({std::string(laidOut + line->start_index, static_cast<std::size_t>(line->length)),
                         static_cast<double>(logical.width) / PANGO_SCALE});
    }
    return lines;
}

}  // namespace uitest
