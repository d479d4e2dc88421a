// The navigation controller: a stack of screens with a bar on top.
//
//   auto nav = ui::create<ui::NavigationController>(root);   // initWithRootViewController:
//   nav->pushViewController(detail, true);
//   nav->popViewControllerAnimated(true);                    // the popped screen is released
//   nav->setNavigationBarHidden(true, false);
//
// Screens fill the controller's view (the bar, 44 points at y 20, lies over
// them); transitions are instant, with the appearance callbacks of the old
// and the new top screen.
#pragma once

#include <memory>
#include <vector>

#include "uikit/BarButtonItem.h"
#include "uikit/Label.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

namespace ui {

class NavigationController;
class Button;

class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void navigationController_willShowViewController_animated(NavigationController&,
                                                                      const std::shared_ptr<ViewController>&, bool) {}
    virtual void navigationController_didShowViewController_animated(NavigationController&,
                                                                     const std::shared_ptr<ViewController>&, bool) {}
};

// The bar: the top screen's title, its left and right items, and a back
// button (the previous screen's title, or "Back") unless hidden or replaced
// by a left item.
class NavigationBar : public View {
public:
    void init(const Rect& frame) override;
    std::shared_ptr<Label> titleLabel() const { return titleLabel_; }
    std::shared_ptr<View> leftView() const { return leftView_; }
    std::shared_ptr<View> rightView() const { return rightView_; }
    std::shared_ptr<Button> backButton() const { return backButton_; }
    void layoutSubviews() override;

    static constexpr double kHeight = 44;

private:
    friend class NavigationController;
    void show(const NavigationItemPtr& item, const NavigationItemPtr& previous, bool canGoBack,
              const std::weak_ptr<NavigationController>& nav);
    std::shared_ptr<View> viewForItem(const BarButtonItemPtr& item);

    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<View> titleView_;
    std::shared_ptr<View> leftView_;
    std::shared_ptr<View> rightView_;
    std::shared_ptr<Button> backButton_;
    std::shared_ptr<void> backButtonAction_;
};

class NavigationController : public ViewController {
public:
    void init() override {}
    // initWithRootViewController:
    virtual void init(const std::shared_ptr<ViewController>& root);

    void loadView() override;

    void pushViewController(const std::shared_ptr<ViewController>& vc, bool animated);
    // The popped screen, or nullptr when only the root is left.
    std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToViewController(const std::shared_ptr<ViewController>& vc,
                                                                      bool animated);
    void setViewControllers(const std::vector<std::shared_ptr<ViewController>>& vcs, bool animated = false);
    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
    std::shared_ptr<ViewController> topViewController() const;
    // The top screen, or what it presents.
    std::shared_ptr<ViewController> visibleViewController() const;

    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    std::shared_ptr<NavigationBar> navigationBar();

    std::shared_ptr<NavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NavigationControllerDelegate>& d) { delegate_ = d; }

    // The bar refreshes when the top screen's navigation item changes.
    void refreshBar();

private:
    // Replaces the shown top screen (views and callbacks) after the stack changed.
    void transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
                    bool animated);
    void install(const std::shared_ptr<ViewController>& vc);

    std::vector<std::shared_ptr<ViewController>> stack_;
    std::shared_ptr<NavigationBar> bar_;
    bool barHidden_ = false;
    std::weak_ptr<NavigationControllerDelegate> delegate_;
};

using NavigationControllerPtr = std::shared_ptr<NavigationController>;

}  // namespace ui
