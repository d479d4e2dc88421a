// Alerts and action sheets. Both sit above every window once shown, keep
// themselves alive until a button closes them (so they outlive the screen
// that showed them) and take every touch while up. Delegates are weak.
//
//   auto alert = ui::create<ui::AlertView>("温馨提示", "请输入建议标题", nullptr, "确定");
//   alert->show();
//   auto ask = ui::create<ui::AlertView>("", "是否拨打", sharedAs<ui::AlertViewDelegate>(),
//                                        "取消", std::vector<std::string>{"拨打"});
//   ask->setTag(5000);
//   ask->show();             // button 0 = "取消" (cancel), 1 = "拨打"
//
//   auto sheet = ui::create<ui::ActionSheet>("", sharedAs<ui::ActionSheetDelegate>(), "取消", "",
//                                            std::vector<std::string>{"相机", "相册"});
//   sheet->showInView(view());   // 0 = "相机", 1 = "相册", 2 = "取消"
//
// A button press sends the delegate clickedButtonAtIndex, then
// willDismissWithButtonIndex, closes, then didDismissWithButtonIndex.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "uikit/View.h"

namespace ui {

class AlertView;
class ActionSheet;

// What alerts and sheets share: a title, buttons by index, a cancel button,
// and being on screen.
class Popup : public View {
public:
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t) { title_ = t; }
    int numberOfButtons() const { return static_cast<int>(buttons_.size()); }
    std::string buttonTitleAtIndex(int index) const;
    // The index of the first button with the title, or -1.
    int indexOfButtonWithTitle(const std::string& title) const;
    int addButtonWithTitle(const std::string& title);
    int cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(int i) { cancelIndex_ = i; }
    int firstOtherButtonIndex() const { return firstOtherIndex_; }
    bool isVisible() const { return visible_; }

    // A user's press on a button: the delegate's clicked, then the dismissal.
    // Out-of-range indices do nothing and answer NO.
    virtual bool pressButtonAtIndex(int index);
    // Closes without a click (dismissWithClickedButtonIndex:animated:).
    void dismissWithClickedButtonIndex(int index, bool animated);

    std::string debugText() const override;
    // "alert" or "sheet", for dumps.
    virtual std::string kind() const = 0;
    // The message, for alerts.
    virtual std::string messageText() const { return {}; }

protected:
    void present();
    virtual void sendClicked(int index) = 0;
    virtual void sendWillDismiss(int index) = 0;
    virtual void sendDidDismiss(int index) = 0;

    std::string title_;
    std::vector<std::string> buttons_;
    int cancelIndex_ = -1;
    int firstOtherIndex_ = -1;
    bool visible_ = false;
};

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertView_clickedButtonAtIndex(const std::shared_ptr<AlertView>&, int /*buttonIndex*/) {}
    virtual void alertView_willDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int) {}
    virtual void alertView_didDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int) {}
};

class AlertView : public Popup {
public:
    void init(const Rect& frame) override { Popup::init(frame); }
    // initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:
    // (an empty text stands for nil: no message, no cancel button).
    void init(const std::string& title, const std::string& message,
              const std::shared_ptr<AlertViewDelegate>& delegate, const std::string& cancelButtonTitle,
              const std::vector<std::string>& otherButtonTitles = {});

    const std::string& message() const { return message_; }
    void setMessage(const std::string& m) { message_ = m; }
    std::shared_ptr<AlertViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<AlertViewDelegate>& d) { delegate_ = d; }

    void show();

    std::string kind() const override { return "alert"; }
    std::string messageText() const override { return message_; }

protected:
    void sendClicked(int index) override;
    void sendWillDismiss(int index) override;
    void sendDidDismiss(int index) override;

private:
    std::string message_;
    std::weak_ptr<AlertViewDelegate> delegate_;
};

class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheet_clickedButtonAtIndex(const std::shared_ptr<ActionSheet>&, int /*buttonIndex*/) {}
    virtual void actionSheet_willDismissWithButtonIndex(const std::shared_ptr<ActionSheet>&, int) {}
    virtual void actionSheet_didDismissWithButtonIndex(const std::shared_ptr<ActionSheet>&, int) {}
};

class ActionSheet : public Popup {
public:
    void init(const Rect& frame) override { Popup::init(frame); }
    // initWithTitle:delegate:cancelButtonTitle:destructiveButtonTitle:otherButtonTitles:
    // Indices: the destructive button first, then the others, the cancel button last.
    void init(const std::string& title, const std::shared_ptr<ActionSheetDelegate>& delegate,
              const std::string& cancelButtonTitle, const std::string& destructiveButtonTitle,
              const std::vector<std::string>& otherButtonTitles = {});

    std::shared_ptr<ActionSheetDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<ActionSheetDelegate>& d) { delegate_ = d; }
    int destructiveButtonIndex() const { return destructiveIndex_; }
    void setDestructiveButtonIndex(int i) { destructiveIndex_ = i; }

    void showInView(const std::shared_ptr<View>& view);
    // The view it was shown in, while that exists.
    std::shared_ptr<View> shownInView() const { return shownIn_.lock(); }

    std::string kind() const override { return "sheet"; }

protected:
    void sendClicked(int index) override;
    void sendWillDismiss(int index) override;
    void sendDidDismiss(int index) override;

private:
    std::weak_ptr<ActionSheetDelegate> delegate_;
    std::weak_ptr<View> shownIn_;
    int destructiveIndex_ = -1;
};

}  // namespace ui
