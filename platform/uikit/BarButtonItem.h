// Bar button items and navigation items (what a navigation bar shows for a
// screen).
//
//   auto item = ui::create<ui::BarButtonItem>(button);               // initWithCustomView:
//   auto cancel = ui::create<ui::BarButtonItem>("取消", ui::BarButtonItemStyleBordered,
//                                              this, &Screen::cancel);  // initWithTitle:style:target:action:
//   navigationItem()->setLeftBarButtonItem(cancel);
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "uikit/Image.h"
#include "uikit/Object.h"
#include "uikit/View.h"

namespace ui {

enum BarButtonItemStyle {
    BarButtonItemStylePlain = 0,
    BarButtonItemStyleBordered = 1,
    BarButtonItemStyleDone = 2,
};

class BarButtonItem : public Object {
public:
    // initWithCustomView:
    void init(const std::shared_ptr<View>& customView) { customView_ = customView; }
    // initWithTitle:style:target:action:
    template <typename T, typename M>
    void init(const std::string& title, BarButtonItemStyle style, T target, M action) {
        title_ = title;
        style_ = style;
        action_ = Action::make(target, action);
    }
    // initWithImage:style:target:action:
    template <typename T, typename M>
    void init(const ImagePtr& image, BarButtonItemStyle style, T target, M action) {
        image_ = image;
        style_ = style;
        action_ = Action::make(target, action);
    }

    std::shared_ptr<View> customView() const { return customView_; }
    void setCustomView(const std::shared_ptr<View>& v);
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    ImagePtr image() const { return image_; }
    BarButtonItemStyle style() const { return style_; }
    void setStyle(BarButtonItemStyle s) { style_ = s; }
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e);
    template <typename T, typename M>
    void setTarget(T target, M action) {
        action_ = Action::make(target, action);
    }

    // Sends the action to the target (the bar's button for the item calls this).
    void sendAction();

    // The bar that shows the item hears about changes.
    void setChangeHandler(std::function<void()> fn) { changed_ = std::move(fn); }

private:
    void changed() {
        if (changed_) changed_();
    }
    std::shared_ptr<View> customView_;
    std::string title_;
    ImagePtr image_;
    BarButtonItemStyle style_ = BarButtonItemStylePlain;
    int tag_ = 0;
    bool enabled_ = true;
    Action action_;
    std::function<void()> changed_;
};

using BarButtonItemPtr = std::shared_ptr<BarButtonItem>;

class NavigationItem : public Object {
public:
    void init(const std::string& title = {}) { title_ = title; }

    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    std::shared_ptr<View> titleView() const { return titleView_; }
    void setTitleView(const std::shared_ptr<View>& v);
    BarButtonItemPtr leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(const BarButtonItemPtr& item, bool animated = false);
    BarButtonItemPtr rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(const BarButtonItemPtr& item, bool animated = false);
    BarButtonItemPtr backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(const BarButtonItemPtr& item);
    bool hidesBackButton() const { return hidesBack_; }
    void setHidesBackButton(bool hides, bool animated = false);

    void setChangeHandler(std::function<void()> fn) { changed_ = std::move(fn); }

private:
    void changed() {
        if (changed_) changed_();
    }
    std::string title_;
    std::shared_ptr<View> titleView_;
    BarButtonItemPtr left_;
    BarButtonItemPtr right_;
    BarButtonItemPtr back_;
    bool hidesBack_ = false;
    std::function<void()> changed_;
};

using NavigationItemPtr = std::shared_ptr<NavigationItem>;

}  // namespace ui
