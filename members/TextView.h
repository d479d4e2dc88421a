// The identity check of the members' homes: a name, a mobile number and
// "验证". A passed check stores the organisation id the service returns under
// the home's key ("MobileOrg_id" for type "2", "QuorvelOrg_id" for type "3")
// and hands it to the delegate, which then shows the organisational-life list.
//
//   testview = ui::create<TextView>(ui::Rect{0, 104, w, h - 104});
//   testview->setType("2");
//   testview->setDelegate(sharedAs<TextViewDelegate>());
#pragma once

#include <memory>
#include <string>

#include "members/IdentityPanel.h"

class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    // Optional: the check passed with this organisation id.
    virtual void loginSuccessReloadLife(const std::string& /*orgId*/) {}
    virtual bool respondsToLoginSuccessReloadLife() const { return true; }
};

class TextView : public IdentityPanel {
public:
    void init(const ui::Rect& frame) override;
    using IdentityPanel::init;

    static constexpr const char* kMobileKey = "MobileOrg_id";
    static constexpr const char* kQuorvelKey = "QuorvelOrg_id";
    // The user-defaults key of a home type ("" for none).
    static std::string orgKeyForType(const std::string& type);

    std::shared_ptr<ui::Button> loginButton;

    std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TextViewDelegate>& d) { delegate_ = d; }
    const std::string& type() const { return type_; }
    void setType(const std::string& t) { type_ = t; }

    // "验证": the name, then the number and its form, then the service.
    void login();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

private:
    std::weak_ptr<TextViewDelegate> delegate_;
    std::string type_;
};
