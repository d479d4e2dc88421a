// The identity panel of the supply-and-demand board: the member's full name
// and mobile number are checked by the service, which answers with the
// member's user id and user type ("records"), handed to the delegate.
// "取消" hides the panel.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "members/IdentityPanel.h"

class CheckViewDelegate {
public:
    virtual ~CheckViewDelegate() = default;
    virtual void CheckUser(const ns::Value& records) = 0;
};

class CheckView : public IdentityPanel {
public:
    void init(const ui::Rect& frame) override;
    using IdentityPanel::init;

    std::shared_ptr<ui::Button> cancelButton, checkButton;

    void setDelegate(const std::shared_ptr<CheckViewDelegate>& d) { delegate_ = d; }
    std::shared_ptr<CheckViewDelegate> delegate() const { return delegate_.lock(); }

    void check();
    void back();

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kOperation = "GetRetailerLogin";

private:
    std::weak_ptr<CheckViewDelegate> delegate_;
};
