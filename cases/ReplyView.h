// The pop-up in which an official writes the text of a handling step:
// "提交" hands a non-empty text to the delegate, "关闭" asks it to close.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/Button.h"
#include "uikit/TextView.h"
#include "uikit/View.h"

class ReplyViewDelegate {
public:
    virtual ~ReplyViewDelegate() = default;
    virtual void sumitReplyContent(const std::string& /*text*/) {}
    virtual void closeReplyContent() {}
};

class ReplyView : public ui::View, public ui::TextViewDelegate {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<ui::TextView> contentView;
    std::shared_ptr<ui::Button> submitButton;
    std::shared_ptr<ui::Button> closeButton;

    std::shared_ptr<ReplyViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<ReplyViewDelegate>& d) { delegate_ = d; }

    void sumitContent();
    void closeContent();

    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& textView, ns::Range range,
                                                          const std::string& text) override;

    static constexpr const char* kEmptyText = "请输入要回复的内容！";

private:
    std::weak_ptr<ReplyViewDelegate> delegate_;
};

// A button that carries a reply record.
class replyButton : public ui::Button {
public:
    ns::Value replyDit = ns::Value::dictionary();
};
