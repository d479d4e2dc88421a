// The box that asks a petition's submitter for a name and a mobile number.
#pragma once

#include <memory>
#include <string>

#include "uikit/Button.h"
#include "uikit/TextField.h"
#include "uikit/View.h"

class UserMsgViewDelegate {
public:
    virtual ~UserMsgViewDelegate() = default;
    virtual void determineMsg(const std::string& /*name*/, const std::string& /*phone*/) {}
};

class UserMsgView : public ui::View, public ui::TextFieldDelegate {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<ui::TextField> userField;
    std::shared_ptr<ui::TextField> phoneField;
    std::shared_ptr<ui::Button> confirmButton;

    std::shared_ptr<UserMsgViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UserMsgViewDelegate>& d) { delegate_ = d; }

    void subit();
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;

private:
    std::weak_ptr<UserMsgViewDelegate> delegate_;
};
