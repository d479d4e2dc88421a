#include "app/shell/Utils.h"

#include <utility>
#include <vector>

#include "foundation/UserDefaults.h"
#include "uikit/Font.h"
#include "uikit/Text.h"

namespace {

// The store keeps property-list values only: a JSON null anywhere inside a
// service record would make the whole record unstorable, so nulls are left
// out (a missing key reads as nil all the same). A dictionary's keys are
// distinct already, so its entries are taken over as they are, in one pass
// however many there are.
ns::Value withoutNulls(const ns::Value& v) {
    if (v.isDictionary()) {
        std::vector<std::pair<std::string, ns::Value>> entries;
        entries.reserve(v.count());
        for (const auto& [key, value] : v.entries()) {
            if (!value.isNone()) entries.emplace_back(key, withoutNulls(value));
        }
        return ns::Value::dictionaryWithUniqueEntries(std::move(entries));
    }
    if (v.isArray()) {
        std::vector<ns::Value> items;
        items.reserve(v.count());
        for (const auto& item : v.items()) {
            if (!item.isNone()) items.push_back(withoutNulls(item));
        }
        return ns::Value::array(std::move(items));
    }
    return v;
}

}  // namespace

bool Utils::isLogin() {
    ns::Value flag = ns::UserDefaults::standardUserDefaults()->objectForKey(kLoginFlagKey);
    if (flag.isNone()) return false;
    return flag.description() != "0";
}

MemberDataPtr Utils::getMember() {
    auto member = std::make_shared<MemberData>();
    ns::Value dic = ns::UserDefaults::standardUserDefaults()->dictionaryForKey(kMemberDicKey);
    if (!dic.isDictionary()) return member;
    member->member_id = dic["member_id"];
    member->uname = dic["uname"];
    member->type = dic["type"];
    member->area_id = dic["area_id"];
    member->real_name = dic["real_name"];
    member->user_name = dic["user_name"];
    member->password = dic["password"];
    return member;
}

void Utils::saveUserWithMemberData(const ns::Value& memberDic, const std::string& isLogin) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    ns::Value stored = memberDic.isDictionary() ? withoutNulls(memberDic) : ns::Value::dictionary();
    defaults->setObject(stored, kMemberDicKey);
    defaults->setObject(ns::Value(isLogin), kLoginFlagKey);
    defaults->synchronize();
}

ui::Size Utils::labelAutoCalculateRectWith(const std::string& text, double fontSize, ui::Size maxSize) {
    return ui::sizeWithFont(text, ui::Font::systemFontOfSize(fontSize), maxSize, ui::LineBreakByWordWrapping);
}

bool Utils::allFilled(std::initializer_list<std::pair<std::string, const char*>> textAndMessage) {
    for (const auto& [text, message] : textAndMessage) {
        if (text.empty()) {
            showAlert(message);
            return false;
        }
    }
    return true;
}

std::shared_ptr<ui::AlertView> Utils::showAlert(const std::string& message,
                                                const std::shared_ptr<ui::AlertViewDelegate>& delegate) {
    auto alert = ui::create<ui::AlertView>(kAlertTitle, message, delegate, kAlertButton);
    alert->show();
    return alert;
}
