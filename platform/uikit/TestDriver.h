// Drives the screens as a user would, for tests (and the window host): taps
// with real hit-testing, typing into the first responder, gestures, alert and
// sheet buttons, finding views, and the run loop's manual clock.
//
//   ui::TestDriver ui;                      // switches to the manual clock
//   ui.tap(ui.findViewWithText("提交"));    // lands where a finger would
//   ui.typeText(titleField, "标题");
//   ui.pressAlertButton("确定");
//   ui.advance(2.0);                        // timers and delayed calls fire
//   EXPECT_TRUE(ui.waitUntil([&] { return replied; }));   // loopback service
//
// While a driver exists, a table that would show a row its data source no
// longer has throws ui::StaleRowError (TableView.h) into the test.
//
// Finding looks at what is on screen: views in visible windows, not hidden
// (nor inside a hidden view); alerts and sheets are found with the popup calls.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uikit/Alert.h"
#include "uikit/Application.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

namespace ui {

class TestDriver {
public:
    // useManualClock: switch the run loop to a manual clock (at a fixed date)
    // unless it already runs one.
    explicit TestDriver(bool useManualClock = true);

    // ---- Finding ----
    // Every view on screen, front to back within each window, frontmost window first.
    std::vector<std::shared_ptr<View>> visibleViews() const;
    std::vector<std::shared_ptr<View>> findViewsWithText(const std::string& text) const;
    // The frontmost view on screen showing exactly this text (nullptr when none).
    std::shared_ptr<View> findViewWithText(const std::string& text) const;
    template <typename T>
    std::vector<std::shared_ptr<T>> findViews() const {
        std::vector<std::shared_ptr<T>> out;
        for (auto& v : visibleViews()) {
            if (auto t = std::dynamic_pointer_cast<T>(v)) out.push_back(t);
        }
        return out;
    }
    template <typename T>
    std::shared_ptr<T> findView(const std::function<bool(T&)>& pred = {}) const {
        for (auto& v : findViews<T>()) {
            if (!pred || pred(*v)) return v;
        }
        return nullptr;
    }
    // Whether the view is on screen: in a visible window, it and its
    // superviews not hidden and not fully transparent.
    static bool isOnScreen(const View& view);

    // ---- Touches ----
    // Taps the middle of the view's visible part; the view that the touch
    // landed on (hit-testing decides, as for a finger), or nullptr.
    std::shared_ptr<View> tap(const std::shared_ptr<View>& view);
    // Taps the frontmost view showing the text.
    std::shared_ptr<View> tapText(const std::string& text);
    std::shared_ptr<View> tapAt(Point screenPoint);
    // Drags from the view's middle by the translation in a few moves.
    std::shared_ptr<View> drag(const std::shared_ptr<View>& view, Point translation, int steps = 4);
    std::shared_ptr<View> dragFrom(Point screenPoint, Point translation, int steps = 4);
    // Fires a recogniser as if its gesture happened: a tap is recognised; a
    // pan begins, moves by the translation and ends.
    void fire(const std::shared_ptr<GestureRecognizer>& recognizer, Point translation = {});
    // Fires the first recogniser of type T on the view.
    template <typename T>
    bool fireGesture(const std::shared_ptr<View>& view, Point translation = {}) {
        for (auto& r : view->gestureRecognizers()) {
            if (std::dynamic_pointer_cast<T>(r)) {
                fire(r, translation);
                return true;
            }
        }
        return false;
    }

    // ---- Keyboard ----
    std::shared_ptr<Responder> firstResponder() const { return Responder::firstResponder(); }
    // Taps the view, then types into it when it became the first responder,
    // one character at a time ("\n" presses return). False when it did not
    // take the focus.
    bool typeText(const std::shared_ptr<View>& view, const std::string& text);
    // Types into the current first responder; false when there is none.
    bool typeText(const std::string& text);
    // Inserts the text in one piece, as a paste.
    bool pasteText(const std::string& text);
    bool pressReturn() { return typeText("\n"); }
    bool deleteBackward(int count = 1);

    // ---- Alerts and sheets ----
    std::shared_ptr<Popup> topPopup() const;
    std::vector<std::shared_ptr<Popup>> visiblePopups() const;
    // Every alert and sheet shown (since the application was last reset).
    std::vector<std::shared_ptr<Popup>> shownPopups() const;
    std::shared_ptr<AlertView> lastAlert() const;
    // Presses a button of the top alert or sheet; false when none is up or
    // there is no such button.
    bool pressAlertButton(int index);
    bool pressAlertButton(const std::string& title);

    // ---- Screens ----
    std::shared_ptr<Window> keyWindow() const;
    // The controller in front: the key window's root, then what it presents,
    // then a navigation controller's top screen.
    std::shared_ptr<ViewController> frontViewController() const;
    // The screen as text (windows, then alerts).
    std::string dump() const;

    // ---- Time ----
    // Moves the manual clock, firing what comes due, then runs posted work.
    void advance(double seconds);
    // Runs work posted for now (later turns included) without moving the clock.
    void runPending();
    // Runs the main loop, waiting for real background work (the loopback
    // service), until the condition holds or the limit (real seconds) passes.
    bool waitUntil(const std::function<bool()>& condition, double limitSeconds = 10);
    // Runs the main loop until no service exchange is in flight (but the
    // number held back on purpose) and the outcomes of those that ended have
    // been handled, so what they led to is on screen; false when the limit
    // (real seconds) passes first.
    bool waitUntilExchangesSettle(int stillHeld = 0, double limitSeconds = 10);

private:
    Point tapPoint(const View& view) const;
};

}  // namespace ui
