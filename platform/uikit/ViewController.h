// View controllers: a screen's controller with a lazily loaded root view and
// the appearance callbacks.
//
//   class SSZTFrontViewController : public SystemViewController, ... {
//   public:
//       void viewDidLoad() override { SystemViewController::viewDidLoad(); ... }
//   };
//   auto vc = ui::create<SSZTFrontViewController>();     // init
//   vc->islogin = true;                                   // the opener sets properties
//   nav->pushViewController(vc, true);                    // viewDidLoad runs now
//
// The view is loaded (loadView, then viewDidLoad) on the first call of view().
// viewWillAppear:/viewDidAppear:/viewWillDisappear:/viewDidDisappear: are sent
// when the controller's view goes into or out of a visible window: by a
// navigation controller's push and pop, by modal presentation and dismissal,
// by the window's root, and by a container that adds or removes a child's
// view (the old view is taken out first, so the old child disappears before
// the new one appears). A container's callbacks are passed on to the children
// whose views are inside its view.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uikit/Responder.h"
#include "uikit/View.h"

namespace ui {

class NavigationController;
class NavigationItem;

enum ModalTransitionStyle {
    ModalTransitionStyleCoverVertical = 0,
    ModalTransitionStyleFlipHorizontal,
    ModalTransitionStyleCrossDissolve,
    ModalTransitionStylePartialCurl,
};

enum ModalPresentationStyle {
    ModalPresentationFullScreen = 0,
    ModalPresentationPageSheet,
    ModalPresentationFormSheet,
    ModalPresentationCurrentContext,
};

enum InterfaceOrientation {
    InterfaceOrientationPortrait = 1,
    InterfaceOrientationPortraitUpsideDown = 2,
    InterfaceOrientationLandscapeLeft = 4,
    InterfaceOrientationLandscapeRight = 3,
};

enum class AppearanceState { Disappeared, Appearing, Appeared, Disappearing };

class ViewController : public Responder {
public:
    ViewController() = default;
    ~ViewController() override;

    // init (the designated initializer; subclasses override it and call the base).
    virtual void init() {}
    // initWithNibName:bundle: — there are no interface files: the name is kept
    // and init() runs.
    void initWithNibName(const std::string& nibName, const void* bundle = nullptr);
    const std::string& nibName() const { return nibName_; }

    // ---- The view ----
    // Loads the view on first use (loadView, then viewDidLoad).
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(const std::shared_ptr<View>& view);
    // Makes the root view; the default is a plain view filling the screen.
    virtual void loadView();
    virtual void viewDidLoad() {}

    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}
    virtual void didReceiveMemoryWarning() {}
    virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) {
        return orientation == InterfaceOrientationPortrait;
    }

    // ---- Title and navigation ----
    const std::string& title() const { return title_; }
    virtual void setTitle(const std::string& title);  // also the navigation item's title
    std::shared_ptr<NavigationItem> navigationItem();
    // The nearest navigation controller among the parents.
    std::shared_ptr<NavigationController> navigationController() const;

    // ---- Containment ----
    std::shared_ptr<ViewController> parentViewController() const { return parent_.lock(); }
    std::vector<std::shared_ptr<ViewController>> childViewControllers() const { return children_; }
    // addChildViewController: (sends willMoveToParentViewController: to the child).
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    // removeFromParentViewController (sends didMoveToParentViewController: nullptr).
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(ViewController* /*parent*/) {}
    virtual void didMoveToParentViewController(ViewController* /*parent*/) {}

    // ---- Modal presentation ----
    // Shows the controller over the whole screen in place of this one's root
    // (the controller at the top of this one's parents). Ignored, with a log
    // line, when that one already presents another or is not in a window.
    // The completion runs on the main run loop once the transition is over.
    void presentViewController(const std::shared_ptr<ViewController>& vc, bool animated,
                               std::function<void()> completion = {});
    // Dismisses what this controller (or the top of its parents) presents,
    // with everything presented above it; when it presents nothing, the
    // presentation that this controller (or one of its parents) is.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    // What this controller, or the top of its parents, presents.
    std::shared_ptr<ViewController> presentedViewController() const;
    // The controller that presents this one or one of its parents.
    std::shared_ptr<ViewController> presentingViewController() const;
    ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
    void setModalTransitionStyle(ModalTransitionStyle style) { transitionStyle_ = style; }
    ModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style) { presentationStyle_ = style; }

    // ---- Appearance, for containers ----
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    AppearanceState appearanceState() const { return appearance_; }
    // Whether this controller's view is in a visible window.
    bool isViewVisible() const;

    std::shared_ptr<Responder> nextResponder() const override;

    // How long an animated push, pop, presentation or dismissal takes.
    static constexpr double kTransitionDuration = 0.35;

private:
    friend class View;
    friend class NavigationController;
    void rootViewVisibilityChanged(bool visible);
    std::shared_ptr<ViewController> rootAncestor();
    void forwardBegin(bool appearing, bool animated);
    void forwardEnd();

    std::string nibName_;
    std::string title_;
    std::shared_ptr<View> view_;
    bool loadingView_ = false;
    std::shared_ptr<NavigationItem> navigationItem_;
    std::weak_ptr<ViewController> parent_;
    std::vector<std::shared_ptr<ViewController>> children_;
    std::shared_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> presenting_;
    std::weak_ptr<View> presenterSuperview_;  // where the presenter's view goes back on dismissal
    std::size_t presenterIndex_ = 0;
    ModalTransitionStyle transitionStyle_ = ModalTransitionStyleCoverVertical;
    ModalPresentationStyle presentationStyle_ = ModalPresentationFullScreen;
    AppearanceState appearance_ = AppearanceState::Disappeared;
    bool transitionAnimated_ = false;
};

using ViewControllerPtr = std::shared_ptr<ViewController>;

// Records the lifecycle calls of view controllers while alive, as
// "<class> viewDidLoad", "<class> viewWillAppear" and so on. Traces nest; the
// innermost receives the calls. Main thread only.
class LifecycleTrace {
public:
    LifecycleTrace();
    ~LifecycleTrace();
    LifecycleTrace(const LifecycleTrace&) = delete;
    LifecycleTrace& operator=(const LifecycleTrace&) = delete;

    const std::vector<std::string>& events() const { return events_; }
    void clear() { events_.clear(); }
    // Records one call (used by the view controller machinery).
    static void record(const ViewController& vc, const char* call);

private:
    std::vector<std::string> events_;
    LifecycleTrace* previous_;
};

}  // namespace ui
