#include "uikit/TestDriver.h"

#include <algorithm>
#include <chrono>

#include "foundation/RunLoop.h"
#include "net/NetworkActivity.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/TableView.h"
#include "uikit/Window.h"

namespace ui {

namespace {

// 2015-01-01 00:00:00 UTC: a fixed start for the manual clock.
constexpr double kDriverEpoch = 1420070400;

void collect(const std::shared_ptr<View>& v, std::vector<std::shared_ptr<View>>& out) {
    if (v->isHidden() || v->alpha() < 0.01) return;
    out.push_back(v);
    for (auto& sub : v->subviews()) collect(sub, out);
}

// UTF-8 text split into characters.
std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        n = std::min(n, text.size() - i);
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

TestDriver::TestDriver(bool useManualClock) {
    if (useManualClock && !ns::RunLoop::isManualClock()) ns::RunLoop::useManualClock(ns::Date{kDriverEpoch});
    // A table showing a row its data source no longer has fails the test.
    TableView::setStaleRowHandler([](const std::string& message) { throw StaleRowError(message); });
}

// ---- Finding ----

std::vector<std::shared_ptr<View>> TestDriver::visibleViews() const {
    std::vector<std::shared_ptr<View>> paintOrder;
    for (auto& w : Application::sharedApplication().windows()) collect(w, paintOrder);
    std::reverse(paintOrder.begin(), paintOrder.end());
    return paintOrder;
}

std::vector<std::shared_ptr<View>> TestDriver::findViewsWithText(const std::string& text) const {
    std::vector<std::shared_ptr<View>> out;
    for (auto& v : visibleViews()) {
        auto* label = dynamic_cast<const Label*>(v.get());
        if (label ? label->text() == text : v->debugText() == text) out.push_back(v);
    }
    return out;
}

std::shared_ptr<View> TestDriver::findViewWithText(const std::string& text) const {
    auto all = findViewsWithText(text);
    return all.empty() ? nullptr : all.front();
}

bool TestDriver::isOnScreen(const View& view) {
    auto w = view.window();
    if (!w || w->isHidden()) return false;
    std::shared_ptr<const View> holder;
    for (const View* v = &view; v;) {
        if (v->isHidden() || v->alpha() < 0.01) return false;
        auto sup = v->superview();
        holder = sup;
        v = sup.get();
    }
    return true;
}

// ---- Touches ----

Point TestDriver::tapPoint(const View& view) const {
    Rect r = view.convertRect_toView(view.bounds(), nullptr);
    if (auto w = view.window()) {
        Rect visible = r.intersection(w->bounds());
        if (!visible.isEmpty()) r = visible;
        r = r.offsetBy(w->frame().origin.x - w->bounds().origin.x, w->frame().origin.y - w->bounds().origin.y);
    }
    return Point{r.midX(), r.midY()};
}

std::shared_ptr<View> TestDriver::tapAt(Point p) {
    auto& app = Application::sharedApplication();
    auto hit = app.beginTouch(p);
    app.endTouch(p);
    runPending();
    return hit;
}

std::shared_ptr<View> TestDriver::tap(const std::shared_ptr<View>& view) {
    if (!view) return nullptr;
    Application::sharedApplication().layoutIfNeeded();
    return tapAt(tapPoint(*view));
}

std::shared_ptr<View> TestDriver::tapText(const std::string& text) { return tap(findViewWithText(text)); }

std::shared_ptr<View> TestDriver::dragFrom(Point p, Point t, int steps) {
    auto& app = Application::sharedApplication();
    auto hit = app.beginTouch(p);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        app.moveTouch(Point{p.x + t.x * i / steps, p.y + t.y * i / steps});
    }
    app.endTouch(Point{p.x + t.x, p.y + t.y});
    runPending();
    return hit;
}

std::shared_ptr<View> TestDriver::drag(const std::shared_ptr<View>& view, Point t, int steps) {
    if (!view) return nullptr;
    Application::sharedApplication().layoutIfNeeded();
    return dragFrom(tapPoint(*view), t, steps);
}

void TestDriver::fire(const std::shared_ptr<GestureRecognizer>& r, Point translation) {
    if (!r || !r->isEnabled()) return;
    r->reset();
    if (auto pan = std::dynamic_pointer_cast<PanGestureRecognizer>(r)) {
        pan->setState(GestureRecognizerStateBegan);
        if (pan->state() == GestureRecognizerStateBegan) {
            pan->setWindowTranslation(translation);
            pan->setState(GestureRecognizerStateChanged);
            pan->setState(GestureRecognizerStateEnded);
        }
    } else {
        r->setState(GestureRecognizerStateRecognized);
    }
    r->reset();
    runPending();
}

// ---- Keyboard ----

bool TestDriver::typeText(const std::shared_ptr<View>& view, const std::string& text) {
    if (!view) return false;
    tap(view);
    auto first = std::dynamic_pointer_cast<View>(firstResponder());
    if (!first || !first->isDescendantOfView(view.get())) return false;
    return typeText(text);
}

bool TestDriver::typeText(const std::string& text) {
    auto first = firstResponder();
    if (!dynamic_cast<KeyInput*>(first.get())) return false;
    for (const auto& ch : characters(text)) {
        auto target = firstResponder();
        auto* input = dynamic_cast<KeyInput*>(target.get());
        if (!input) break;
        input->insertText(ch);
    }
    runPending();
    return true;
}

bool TestDriver::pasteText(const std::string& text) {
    auto first = firstResponder();
    auto* input = dynamic_cast<KeyInput*>(first.get());
    if (!input) return false;
    input->insertText(text);
    runPending();
    return true;
}

bool TestDriver::deleteBackward(int count) {
    for (int i = 0; i < count; ++i) {
        auto first = firstResponder();
        auto* input = dynamic_cast<KeyInput*>(first.get());
        if (!input) return false;
        input->deleteBackward();
    }
    runPending();
    return true;
}

// ---- Alerts and sheets ----

std::shared_ptr<Popup> TestDriver::topPopup() const {
    auto v = Application::sharedApplication().visiblePopups();
    return v.empty() ? nullptr : v.back();
}

std::vector<std::shared_ptr<Popup>> TestDriver::visiblePopups() const {
    return Application::sharedApplication().visiblePopups();
}

std::vector<std::shared_ptr<Popup>> TestDriver::shownPopups() const {
    return Application::sharedApplication().shownPopups();
}

std::shared_ptr<AlertView> TestDriver::lastAlert() const {
    auto all = shownPopups();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (auto a = std::dynamic_pointer_cast<AlertView>(*it)) return a;
    }
    return nullptr;
}

bool TestDriver::pressAlertButton(int index) {
    auto p = topPopup();
    if (!p) return false;
    bool ok = p->pressButtonAtIndex(index);
    runPending();
    return ok;
}

bool TestDriver::pressAlertButton(const std::string& title) {
    auto p = topPopup();
    if (!p) return false;
    int index = p->indexOfButtonWithTitle(title);
    if (index < 0) return false;
    return pressAlertButton(index);
}

// ---- Screens ----

std::shared_ptr<Window> TestDriver::keyWindow() const { return Application::sharedApplication().keyWindow(); }

std::shared_ptr<ViewController> TestDriver::frontViewController() const {
    // The key window, unless it holds no screens (the progress overlay's
    // window takes key status): then the frontmost window that does.
    auto w = keyWindow();
    if (!w || !w->rootViewController()) {
        auto windows = Application::sharedApplication().windows();
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            if (!(*it)->isHidden() && (*it)->rootViewController()) {
                w = *it;
                break;
            }
    }
    if (!w) return nullptr;
    auto vc = w->rootViewController();
    while (vc) {
        if (auto p = vc->presentedViewController()) {
            vc = p;
            continue;
        }
        if (auto nav = std::dynamic_pointer_cast<NavigationController>(vc)) {
            if (auto top = nav->topViewController()) {
                vc = top;
                continue;
            }
        }
        break;
    }
    return vc;
}

std::string TestDriver::dump() const { return Application::sharedApplication().dump(); }

// ---- Time ----

void TestDriver::advance(double seconds) {
    ns::RunLoop::main().advance(seconds);
    runPending();
}

void TestDriver::runPending() { ns::RunLoop::main().drain(); }

bool TestDriver::waitUntil(const std::function<bool()>& condition, double limitSeconds) {
    return ns::RunLoop::main().runUntil(condition, limitSeconds);
}

bool TestDriver::waitUntilExchangesSettle(int stillHeld, double limitSeconds) {
    // An exchange counts until its outcome is posted to the main run loop;
    // handling it may start another.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
    for (;;) {
        const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (!waitUntil([&] { return net::NetworkActivity::count() <= stillHeld; }, std::max(0.0, left))) return false;
        runPending();
        if (net::NetworkActivity::count() <= stillHeld) return true;
    }
}

}  // namespace ui
