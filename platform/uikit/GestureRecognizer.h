// Gesture recognisers: tap and pan, with targets and actions.
//
//   auto tap = ui::create<ui::TapGestureRecognizer>(this, &Screen::showType);
//   chooser->addGestureRecognizer(tap);
//   void Screen::showType(std::shared_ptr<ui::TapGestureRecognizer> r) { ... r->view()->tag() ... }
//
// Touches reach the recognisers of the touched view and of its superviews
// (innermost first) before the view itself; the first that recognises its
// gesture sends its actions and, by default, cancels the touch for the view.
// A tap recogniser above a control does not take the control's taps.
#pragma once

#include <memory>
#include <vector>

#include "uikit/Object.h"
#include "uikit/Responder.h"

namespace ui {

class View;
class GestureRecognizer;

enum GestureRecognizerState {
    GestureRecognizerStatePossible = 0,
    GestureRecognizerStateBegan,
    GestureRecognizerStateChanged,
    GestureRecognizerStateEnded,
    GestureRecognizerStateCancelled,
    GestureRecognizerStateFailed,
    GestureRecognizerStateRecognized = GestureRecognizerStateEnded,
};

class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(const std::shared_ptr<GestureRecognizer>&) { return true; }
    virtual bool gestureRecognizer_shouldReceiveTouch(const std::shared_ptr<GestureRecognizer>&, const Touch&) {
        return true;
    }
};

class GestureRecognizer : public Object {
public:
    // initWithTarget:action:
    void init() {}
    template <typename T, typename M>
    void init(T target, M action) {
        addTarget(target, action);
    }
    template <typename T, typename M>
    void addTarget(T target, M action) {
        addAction(Action::make(target, action));
    }
    void addAction(Action action);
    void removeTarget(const void* target);  // nullptr: every target

    std::shared_ptr<View> view() const { return view_.lock(); }
    GestureRecognizerState state() const { return state_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool c) { cancelsTouchesInView_ = c; }
    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<GestureRecognizerDelegate>& d) { delegate_ = d; }
    // Where the gesture's touch is, in the view's coordinates (nullptr: the window's).
    Point locationInView(const View* view) const;
    std::size_t numberOfTouches() const { return touch_ ? 1 : 0; }

    // ---- For the touch dispatcher and subclasses ----
    // The recogniser follows one touch; subclasses move the state machine.
    virtual void touchBegan(const TouchPtr& touch);
    virtual void touchMoved(const TouchPtr& touch);
    virtual void touchEnded(const TouchPtr& touch);
    virtual void touchCancelled(const TouchPtr& touch);
    // Sets the state and sends the actions for Began, Changed, Ended and
    // Cancelled. Began or Recognized first asks the delegate, failing when it
    // answers NO.
    void setState(GestureRecognizerState state);
    // Back to Possible, forgetting the touch.
    virtual void reset();
    // True once the state is Began, Changed or Ended.
    bool hasRecognized() const;
    // Whether a tap on a control inside the view should go to the control
    // instead (true for discrete tap recognisers).
    virtual bool yieldsToControls() const { return false; }

    // Called by View::addGestureRecognizer / removeGestureRecognizer.
    void attachToView(const std::shared_ptr<View>& view) { view_ = view; }

protected:
    TouchPtr touch_;

private:
    std::vector<Action> actions_;
    std::weak_ptr<View> view_;
    std::weak_ptr<GestureRecognizerDelegate> delegate_;
    GestureRecognizerState state_ = GestureRecognizerStatePossible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
};

class TapGestureRecognizer : public GestureRecognizer {
public:
    int numberOfTapsRequired() const { return taps_; }
    void setNumberOfTapsRequired(int n) { taps_ = n; }
    int numberOfTouchesRequired() const { return touches_; }
    void setNumberOfTouchesRequired(int n) { touches_ = n; }

    void touchMoved(const TouchPtr& touch) override;
    void touchEnded(const TouchPtr& touch) override;
    bool yieldsToControls() const override { return true; }

    // A touch that moves farther than this is no tap.
    static constexpr double kSlop = 10;

private:
    int taps_ = 1;
    int touches_ = 1;
};

class PanGestureRecognizer : public GestureRecognizer {
public:
    // The movement since the gesture began, in the view's coordinates
    // (nullptr: the window's).
    Point translationInView(const View* view) const;
    void setTranslation(Point translation, const View* view);
    // Points per second over the last move.
    Point velocityInView(const View* view) const;

    void touchBegan(const TouchPtr& touch) override;
    void touchMoved(const TouchPtr& touch) override;
    void touchEnded(const TouchPtr& touch) override;
    void reset() override;

    // Movement needed before a pan begins.
    static constexpr double kHysteresis = 10;

    // For the test driver: sets the translation (window coordinates) directly.
    void setWindowTranslation(Point t) { translation_ = t; }

private:
    Point origin_;       // window point the translation counts from
    Point translation_;  // window coordinates
    Point velocity_;
};

}  // namespace ui
