// Class-method helpers the screens share: the login state kept in the user
// defaults, text measuring and the standard alert.
//
//   if (!Utils::isLogin()) { ... show the login overlay ... }
//   std::string userId = Utils::getMember()->member_id.text();
//   ui::Size s = Utils::labelAutoCalculateRectWith(text, 12, ui::Size{w - 10, 10000});
//   Utils::showAlert("请输入要评论的内容");          // "温馨提示" / message / "确定"
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "app/shell/MemberData.h"
#include "foundation/Value.h"
#include "uikit/Alert.h"
#include "uikit/Geometry.h"

class Utils {
public:
    // User-defaults keys of the login state.
    static constexpr const char* kMemberDicKey = "memberDic";
    static constexpr const char* kLoginFlagKey = "login_flg";
    static constexpr const char* kLoginStateKey = "LoginState";

    // YES when "login_flg" is stored and is not "0".
    static bool isLogin();
    // A new record filled from the stored "memberDic" (nil fields when none).
    static MemberDataPtr getMember();
    // Stores the member's dictionary as "memberDic" and the flag ("1" logged
    // in, "0" logged out) as "login_flg", and writes the store.
    static void saveUserWithMemberData(const ns::Value& memberDic, const std::string& isLogin);

    // The size the text needs in the system font of that size, wrapped at
    // word boundaries within the maximum size, each side a whole number.
    static ui::Size labelAutoCalculateRectWith(const std::string& text, double fontSize, ui::Size maxSize);

    // The alert "温馨提示" with the message and the single button "确定",
    // shown at once; the alert is returned for callers that want a tag.
    static std::shared_ptr<ui::AlertView> showAlert(const std::string& message,
                                                    const std::shared_ptr<ui::AlertViewDelegate>& delegate = nullptr);
    // Shows the message paired with the first empty text, if any; true when
    // every text is filled in. The form checks of the screens use it.
    static bool allFilled(std::initializer_list<std::pair<std::string, const char*>> textAndMessage);
    static constexpr const char* kAlertTitle = "温馨提示";
    static constexpr const char* kAlertButton = "确定";
};
