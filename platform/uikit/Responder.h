// Responders, touches and the first responder.
//
// The responder chain: a view's next responder is the view controller whose
// root view it is, else its superview; a view controller's is its view's
// superview (or its parent); a window's is the application. Touch handlers
// not overridden pass the touches up the chain.
//
// One responder at a time is the first responder (the field being edited).
// Text input classes implement KeyInput; the test driver and the window host
// type into the first responder through it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "uikit/Geometry.h"
#include "uikit/Object.h"

namespace ui {

class View;
class Window;

enum TouchPhase {
    TouchPhaseBegan = 0,
    TouchPhaseMoved = 1,
    TouchPhaseStationary = 2,
    TouchPhaseEnded = 3,
    TouchPhaseCancelled = 4,
};

class Touch {
public:
    std::shared_ptr<View> view() const { return view_.lock(); }
    std::shared_ptr<Window> window() const { return window_.lock(); }
    TouchPhase phase() const { return phase_; }
    int tapCount() const { return tapCount_; }
    double timestamp() const { return timestamp_; }
    // Where the touch is (or was before its last move), in the view's coordinates;
    // nullptr: the window's.
    Point locationInView(const View* view) const;
    Point previousLocationInView(const View* view) const;

    // Window coordinates, for the dispatcher.
    Point windowLocation() const { return location_; }
    Point startWindowLocation() const { return start_; }

    // Set up by the touch dispatcher.
    void setUp(const std::shared_ptr<View>& view, const std::shared_ptr<Window>& window, Point windowLocation,
               double timestamp);
    void moveTo(Point windowLocation, TouchPhase phase, double timestamp);

private:
    std::weak_ptr<View> view_;
    std::weak_ptr<Window> window_;
    Point location_;
    Point previous_;
    Point start_;
    TouchPhase phase_ = TouchPhaseBegan;
    int tapCount_ = 1;
    double timestamp_ = 0;
};

using TouchPtr = std::shared_ptr<Touch>;

// The touches of one event (an NSSet of UITouch).
struct TouchSet {
    std::vector<TouchPtr> touches;
    TouchPtr anyObject() const { return touches.empty() ? nullptr : touches.front(); }
    std::size_t count() const { return touches.size(); }
};

struct Event {
    TouchSet allTouches;
    double timestamp = 0;
};

class Responder : public Object {
public:
    virtual std::shared_ptr<Responder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    // Makes this the first responder: the current one is asked to resign
    // first. NO when this cannot become one or the current one refuses.
    virtual bool becomeFirstResponder();
    virtual bool canResignFirstResponder() const { return true; }
    // Stops being the first responder. YES also when it was not one.
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    // The current first responder, if any.
    static std::shared_ptr<Responder> firstResponder();
    // Forgets the first responder without asking it (tests).
    static void resetFirstResponderForTesting();

    virtual void touchesBegan(const TouchSet& touches, Event* event);
    virtual void touchesMoved(const TouchSet& touches, Event* event);
    virtual void touchesEnded(const TouchSet& touches, Event* event);
    virtual void touchesCancelled(const TouchSet& touches, Event* event);

protected:
    // Called once the responder has become, or has stopped being, the first responder.
    virtual void didBecomeFirstResponder() {}
    virtual void didResignFirstResponder() {}
};

// Keyboard input into the first responder (text fields and text views).
class KeyInput {
public:
    virtual ~KeyInput() = default;
    virtual bool hasText() const = 0;
    // One key or a pasted text; "\n" is the return key.
    virtual void insertText(const std::string& text) = 0;
    virtual void deleteBackward() = 0;
};

}  // namespace ui
