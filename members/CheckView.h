// The identity panel of the supply-and-demand board: the member's full name
// and mobile number are checked by the service, which answers with the
// member's user id and user type ("records"), handed to the delegate.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/ScrollView.h"
#include "uikit/TextField.h"
#include "uikit/View.h"

class CheckViewDelegate {
public:
    virtual ~CheckViewDelegate() = default;
    virtual void CheckUser(const ns::Value& records) = 0;
};

class CheckView : public ui::View, public PPClientDelegate, public ui::TextFieldDelegate {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<ui::TextField> userNameFiled;
    std::shared_ptr<ui::TextField> passWordFiled;  // the mobile number
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> mscrv;
    std::shared_ptr<ui::Button> cancelButton, checkButton;

    void setDelegate(const std::shared_ptr<CheckViewDelegate>& d) { delegate_ = d; }
    std::shared_ptr<CheckViewDelegate> delegate() const { return delegate_.lock(); }

    void check();
    void back();
    void Canecllogin();
    static bool isMobileNumber(const std::string& number);

    bool textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kOperation = "GetRetailerLogin";

private:
    std::weak_ptr<CheckViewDelegate> delegate_;
};
