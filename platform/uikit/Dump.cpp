#include "uikit/Dump.h"

#include <cstdio>

#include "uikit/ViewController.h"

namespace ui {

std::string describeView(const View& v) {
    std::string s = v.className() + " " + toString(v.frame());
    std::string text = v.debugText();
    if (!text.empty()) s += " \"" + text + "\"";
    if (v.isHidden()) s += " hidden";
    if (v.alpha() < 1) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " alpha=%g", v.alpha());
        s += buf;
    }
    if (v.tag() != 0) s += " tag=" + std::to_string(v.tag());
    if (auto vc = v.owningViewController()) s += " <" + vc->className() + ">";
    return s;
}

std::string dumpViewTree(const View& root, int indent) {
    std::string out(static_cast<std::size_t>(indent) * 2, ' ');
    out += describeView(root) + "\n";
    for (const auto& sub : root.subviews()) out += dumpViewTree(*sub, indent + 1);
    return out;
}

}  // namespace ui
