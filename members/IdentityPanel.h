// The identity panels of the members' services (the homes' check, the
// supply-and-demand check): a grey panel with a name row ("user.png") and a
// mobile-number row ("password.png") that scrolls up 60 points while either
// is edited; Return ends the editing. The subclass adds its buttons to the
// panel's content and sends the check through the panel's client.
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

class IdentityPanel : public ui::View, public PPClientDelegate, public ui::TextFieldDelegate {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<ui::TextField> userNameFiled;  // the full name
    std::shared_ptr<ui::TextField> passWordFiled;  // the mobile number
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> mscrv;

    // Hides the panel.
    void Canecllogin();

    // Whether the text is a mainland mobile number of the carriers' ranges
    // (eleven digits from "1").
    static bool isMobileNumber(const std::string& number);

    bool textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;

protected:
    // The panel's content inside the scroll view, where the buttons go.
    std::shared_ptr<ui::ImageView> content;

    // The name and the number, when both are given; else the alert for the
    // first missing one ("请输入姓名", "请输入手机号码") and false.
    bool readEntries(std::string& name, std::string& number) const;
    // The refusal of a check: the reply's "message", or "身份验证失败".
    static void showRefusal(const ns::Value& reply);

    static constexpr const char* kCheckingText = "身份验证中...";
};
