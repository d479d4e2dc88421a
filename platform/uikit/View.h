// Views: the tree of rectangles every screen is built from, kept as data
// (frames, colours, hidden, alpha, layer border and corners) for hit-testing,
// test dumps and the renderer.
//
//   auto box = ui::create<ui::View>(ui::Rect{20, 120, w - 40, 40});
//   box->setBackgroundColor(ui::Color::whiteColor());
//   box->layer().setBorderWidth(1);
//   box->layer().setCornerRadius(6);
//   view()->addSubview(box);
//
// Coordinates: a view's frame is in its superview's coordinates; its bounds
// origin shifts its content (scroll views). Adding a subview that is already
// there brings it to the front.
//
// Adding a subview on top, removing any subview and bringing one to the front
// take constant time (amortised), however many subviews there are, so a
// screen that adds or removes thousands of rows one by one takes time that
// follows the rows; inserting at a given place moves the subviews after it.
//
// Animations apply their final values at once; the completion runs on the
// main run loop when the duration has passed, and not at all when every view
// the animation changed has gone.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/Color.h"
#include "uikit/Geometry.h"
#include "uikit/Responder.h"

namespace ui {

class ViewController;
class Window;
class GestureRecognizer;

enum ViewAutoresizing : unsigned {
    ViewAutoresizingNone = 0,
    ViewAutoresizingFlexibleLeftMargin = 1 << 0,
    ViewAutoresizingFlexibleWidth = 1 << 1,
    ViewAutoresizingFlexibleRightMargin = 1 << 2,
    ViewAutoresizingFlexibleTopMargin = 1 << 3,
    ViewAutoresizingFlexibleHeight = 1 << 4,
    ViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum ViewContentMode {
    ViewContentModeScaleToFill = 0,
    ViewContentModeScaleAspectFit,
    ViewContentModeScaleAspectFill,
    ViewContentModeRedraw,
    ViewContentModeCenter,
    ViewContentModeTop,
    ViewContentModeBottom,
    ViewContentModeLeft,
    ViewContentModeRight,
    ViewContentModeTopLeft,
    ViewContentModeTopRight,
    ViewContentModeBottomLeft,
    ViewContentModeBottomRight,
};

enum ViewAnimationOptions : unsigned {
    ViewAnimationOptionNone = 0,
    ViewAnimationOptionAllowUserInteraction = 1 << 1,
    ViewAnimationOptionBeginFromCurrentState = 1 << 2,
    ViewAnimationOptionCurveEaseInOut = 0 << 16,
    ViewAnimationOptionCurveEaseIn = 1 << 16,
    ViewAnimationOptionCurveEaseOut = 2 << 16,
    ViewAnimationOptionCurveLinear = 3 << 16,
};

// The view's layer: border and corners (CALayer).
class Layer {
public:
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double w) { borderWidth_ = w; }
    Color borderColor() const { return borderColor_; }
    void setBorderColor(const Color& c) { borderColor_ = c; }
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double r) { cornerRadius_ = r; }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool m) { masksToBounds_ = m; }

private:
    double borderWidth_ = 0;
    Color borderColor_ = Color::blackColor();
    double cornerRadius_ = 0;
    bool masksToBounds_ = false;
};

class View : public Responder {
public:
    View() = default;
    ~View() override;

    // initWithFrame:
    virtual void init(const Rect& frame);

    // ---- Geometry ----
    Rect frame() const { return frame_; }
    virtual void setFrame(const Rect& frame);
    Rect bounds() const { return Rect(boundsOrigin_, frame_.size); }
    virtual void setBounds(const Rect& bounds);  // keeps the center
    Point center() const { return Point{frame_.midX(), frame_.midY()}; }
    void setCenter(Point c);

    // ---- Appearance ----
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    double alpha() const { return alpha_; }
    void setAlpha(double alpha);
    // nullopt: no background (the platform's nil colour).
    std::optional<Color> backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(std::optional<Color> color);
    bool clipsToBounds() const { return layer_.masksToBounds(); }
    void setClipsToBounds(bool clips) { layer_.setMasksToBounds(clips); }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool a) { autoresizesSubviews_ = a; }
    ViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(ViewContentMode mode) { contentMode_ = mode; }
    Layer& layer() { return layer_; }
    const Layer& layer() const { return layer_; }

    // ---- Hierarchy ----
    std::shared_ptr<View> superview() const { return superview_.lock(); }
    // A copy: safe to walk while removing.
    std::vector<std::shared_ptr<View>> subviews() const;
    std::size_t subviewCount() const { return subviews_.size() - holes_; }
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);  // insertSubview:atIndex:
    void insertSubview_aboveSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void insertSubview_belowSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    void removeFromSuperview();
    bool isDescendantOfView(const View* view) const;  // true for the view itself
    // This view or the first descendant (depth first, in order) with the tag.
    std::shared_ptr<View> viewWithTag(int tag);
    // The window this view is in (itself for a window), or nullptr.
    std::shared_ptr<Window> window() const;

    // Called around changes of place; subclasses may override.
    virtual void willMoveToSuperview(View* /*newSuperview*/) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(Window* /*newWindow*/) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(View* /*subview*/) {}
    virtual void willRemoveSubview(View* /*subview*/) {}

    // ---- Layout ----
    virtual void layoutSubviews() {}
    void setNeedsLayout() { needsLayout_ = true; }
    bool needsLayout() const { return needsLayout_; }
    // Runs layoutSubviews where needed, in this view and below.
    void layoutIfNeeded();
    virtual Size sizeThatFits(Size size) const;
    void sizeToFit();

    // ---- Hit-testing and coordinates ----
    // The deepest view under the point (in this view's coordinates) that takes
    // touches: hidden views, views with alpha below 0.01 and views with user
    // interaction off are passed over with their subviews; subviews are tried
    // front to back; a point outside the bounds hits nothing.
    virtual std::shared_ptr<View> hitTest(Point point, Event* event);
    virtual bool pointInside(Point point, Event* event) const;
    Point convertPoint_toView(Point point, const View* view) const;    // nullptr: the window
    Point convertPoint_fromView(Point point, const View* view) const;  // nullptr: the window
    Rect convertRect_toView(const Rect& rect, const View* view) const;
    Rect convertRect_fromView(const Rect& rect, const View* view) const;

    // ---- Responders ----
    std::shared_ptr<Responder> nextResponder() const override;
    bool becomeFirstResponder() override;  // only inside a window
    // The nearest view controller up the responder chain (the one that owns
    // this view or one of its superviews).
    std::shared_ptr<ViewController> findViewController() const;
    // The view controller whose root view this is, if any.
    std::shared_ptr<ViewController> owningViewController() const { return viewController_.lock(); }
    // Resigns the first responder when it is this view or inside it. With
    // force NO, the responder may refuse. Returns whether none is left here.
    bool endEditing(bool force);

    // ---- Gestures ----
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers() const { return gestureRecognizers_; }

    // ---- Animations ----
    static void animateWithDuration(double duration, const std::function<void()>& animations,
                                    std::function<void(bool finished)> completion = {});
    static void animateWithDuration(double duration, double delay, unsigned options,
                                    const std::function<void()>& animations,
                                    std::function<void(bool finished)> completion = {});
    // beginAnimations:context: ... commitAnimations; changes apply at once.
    static void beginAnimations(const std::string& animationID = {});
    static void setAnimationDuration(double duration);
    static void setAnimationDelay(double delay);
    static void setAnimationCurve(int curve);
    static void commitAnimations();
    // Setters of animatable properties call this so an animation knows the
    // views it changed (subclasses with animatable properties call it too).
    void noteAnimatedChange();

    // ---- Debugging ----
    // The text this view shows, for dumps and finding views ("" for none).
    virtual std::string debugText() const { return {}; }

private:
    friend class ViewController;
    friend class Window;
    void insertAt(const std::shared_ptr<View>& view, std::size_t index);
    // ---- The subviews' places ----
    // subviews_ keeps the subviews in order, back to front; a removed one
    // leaves an empty place (a hole) until there are more holes than
    // subviews, when the places are closed up, so no removal searches or
    // moves the others. Each subview knows its place (slot_).
    bool holds(const View* view) const {
        return view && view->slot_ < subviews_.size() && subviews_[view->slot_].get() == view;
    }
    // The subview's place in order (no holes before it once closed up).
    std::size_t indexOf(const View* view);
    void place(const std::shared_ptr<View>& view, std::size_t index);
    void vacate(std::size_t slot);
    void closeUp();
    void windowChanged(Window* oldWindow, Window* newWindow);
    void visibilityChanged(bool visible);

    Rect frame_;
    Point boundsOrigin_;
    int tag_ = 0;
    bool hidden_ = false;
    double alpha_ = 1;
    std::optional<Color> backgroundColor_;
    bool opaque_ = true;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool autoresizesSubviews_ = true;
    bool needsLayout_ = true;
    unsigned autoresizingMask_ = ViewAutoresizingNone;
    ViewContentMode contentMode_ = ViewContentModeScaleToFill;
    Layer layer_;

    std::weak_ptr<View> superview_;
    std::vector<std::shared_ptr<View>> subviews_;  // back to front, with holes (see holds)
    std::size_t holes_ = 0;
    std::size_t slot_ = 0;  // the place in the superview's subviews_
    std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers_;
    std::weak_ptr<ViewController> viewController_;  // set for a view controller's root view
};

using ViewPtr = std::shared_ptr<View>;

}  // namespace ui
