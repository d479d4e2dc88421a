// A self-contained monthly sign-in panel: its own top bar picture, the month
// ("3月") with "上一月" / "下一月", the 31-day grid with the signed days
// ringed, "取消" (hides the panel), "签到" and the month's count.
//
//   auto panel = ui::create<SignView>(ui::Rect{0, 0, w, h});   // asks for this month
//   view()->addSubview(panel);
//
// The panel asks the service for its month with the key "2015-3" (no leading
// zero); a sign-in shows the service's message, hides the panel and, when it
// succeeded, brings the current month back on screen.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "members/SignDays.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/View.h"

class SignView : public ui::View, public PPClientDelegate, public SignCalendar {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Button> upButton, nextButton, cancelButton, signButton;

    // "2015-3".
    std::string monthKey() const;

    void back();
    void sign();
    void reloadDay();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

protected:
    void requestMonth() override;
};
