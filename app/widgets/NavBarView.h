// The 64-point top bar of the module screens: the "navbar.png" picture with a
// back button on the left, a centred title and a right button.
//
//   naview = ui::create<NavBarView>(ui::Rect{0, 0, view()->frame().size.width, 64});
//   naview->setDelegate(sharedAs<NavBarViewDelegate>());
//   naview->titleLabel->setText(title());
//   view()->addSubview(naview);
#pragma once

#include <memory>

#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"

class NavBarViewDelegate {
public:
    virtual ~NavBarViewDelegate() = default;
    // Optional: the left button was touched.
    virtual void back() {}
};

class NavBarView : public ui::ImageView {
public:
    void init(const ui::Rect& frame) override;
    using ui::ImageView::init;

    std::shared_ptr<NavBarViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NavBarViewDelegate>& d) { delegate_ = d; }

    std::shared_ptr<ui::Button> leftButton;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Button> rightButton;

    static constexpr double kHeight = 64;

private:
    void leftButtonTouched();

    std::weak_ptr<NavBarViewDelegate> delegate_;
};
