// 网上登记: the registration pane of the members' homes, for the home of the
// given type ("2" or "3").
#pragma once

#include <string>

#include "uikit/View.h"

class OnlineRegistrationView : public ui::View {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    const std::string& type() const { return type_; }
    void setType(const std::string& t) { type_ = t; }

private:
    std::string type_;
};
