#include "members/SignDays.h"

#include <algorithm>

#include "app/framework/BaseScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/DateTime.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"

namespace signdays {

std::vector<std::shared_ptr<ui::Label>> makeDayGrid(const std::shared_ptr<ui::View>& container, double screenWidth,
                                                    double top) {
    std::vector<std::shared_ptr<ui::Label>> labels;
    const double gap = (screenWidth - 250) / 6;
    for (int i = 0; i < kDayCount; ++i) {
        const int column = i % 7;
        const int row = i / 7;
        auto label = ui::create<ui::Label>(
            ui::Rect{20 + column * (kCellSize + gap), top + row * kRowPitch, kCellSize, kCellSize});
        label->setText(ns::format("%02d", i + 1));
        label->setFont(ui::Font::systemFontOfSize(12));
        label->setTextColor(ui::Color::blackColor());
        label->setTextAlignment(ui::TextAlignmentCenter);
        label->setBackgroundColor(ui::Color::clearColor());
        container->addSubview(label);
        labels.push_back(label);
    }
    return labels;
}

void ring(ui::Label& label) {
    label.setBackgroundColor(ui::Color::redColor());
    label.layer().setCornerRadius(15);
    label.layer().setBorderWidth(1);
    label.layer().setBorderColor(ui::Color::redColor());
    label.layer().setMasksToBounds(true);
    label.setTextColor(ui::Color::whiteColor());
}

void plain(ui::Label& label) {
    label.setBackgroundColor(ui::Color::clearColor());
    label.layer().setCornerRadius(0);
    label.layer().setBorderWidth(0);
    label.setTextColor(ui::Color::blackColor());
}

void showSignedDays(const std::vector<std::shared_ptr<ui::Label>>& labels, const std::vector<std::string>& days) {
    for (const auto& label : labels) {
        if (std::find(days.begin(), days.end(), label->text()) != days.end()) {
            ring(*label);
        } else {
            plain(*label);
        }
    }
}

std::vector<std::string> daysOfReply(const ns::Value& reply) {
    std::vector<std::string> days;
    const ns::Value rows = records::array(reply, "records");
    for (const ns::Value& row : rows.items()) {
        const std::string time = records::text(row, "add_time");
        if (time.size() < 10) continue;
        const std::string day = time.substr(8, 2);
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        if (!digit(day[0]) || !digit(day[1])) continue;
        days.push_back(day);
    }
    return days;
}

std::string countText(const ns::Value& reply) {
    const ns::Value count = reply["sign_count"];
    if (count.isNone()) return "0";
    return count.description();
}

Today today() {
    ns::DateComponents c = ns::dateComponents(ns::now());
    return Today{c.year, c.month, c.day};
}

void stepMonth(long long& year, long long& month, int delta) {
    month += delta;
    while (month > 12) {
        month -= 12;
        ++year;
    }
    while (month < 1) {
        month += 12;
        --year;
    }
}

bool stepToNextMonth(long long& year, long long& month, long long thisYear, long long thisMonth) {
    if (year == thisYear && month == thisMonth) {
        Utils::showAlert("不能查看次月的签到");
        return false;
    }
    stepMonth(year, month, 1);
    return true;
}

}  // namespace signdays

// ---- The calendar ----

void SignCalendar::startToday() {
    user_id = records::text(Utils::getMember()->member_id);
    const signdays::Today today = signdays::today();
    year = today.year;
    month = today.month;
    day = today.day;
    currentYear = year;
    currentMonth = month;
}

void SignCalendar::upPages() {
    timeArray.clear();
    signdays::stepMonth(currentYear, currentMonth, -1);
    requestMonth();
}

void SignCalendar::nextPages() {
    if (!signdays::stepToNextMonth(currentYear, currentMonth, year, month)) return;
    timeArray.clear();
    requestMonth();
}

void SignCalendar::sendMonth(const std::string& key) {
    requestType = kHistoryType;
    pp->GetSign(user_id, key);
    monthRequest_ = pp->runningRequest();
}

bool SignCalendar::answersMonth() const { return pp->replyRequest() == monthRequest_.lock(); }

void SignCalendar::sendSign(const ui::View& host) {
    if (pp->isSending(kSubmitSign)) return;
    requestType = kSignType;
    BaseScreen::showProgressFor(host, "签到中...");
    pp->SubmitSign(records::text(Utils::getMember()->member_id));
}
