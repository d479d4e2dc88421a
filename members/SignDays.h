// Pieces the sign-in calendar and the monthly sign-in panel share: the
// 31-label day grid, the red ring of a signed day, and the signed days read
// from a month reply.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Label.h"
#include "uikit/View.h"

namespace signdays {

constexpr int kDayCount = 31;
constexpr double kCellSize = 30;
constexpr double kRowPitch = 40;

// The 31 labels "01" to "31", added to the container in order: label i in
// column i mod 7 and row i div 7, the first row at `top`; seven 30-point
// cells span from 20 to screenWidth - 20 with equal gaps.
std::vector<std::shared_ptr<ui::Label>> makeDayGrid(const std::shared_ptr<ui::View>& container, double screenWidth,
                                                    double top);

// A signed day: red disc with white text; otherwise plain black text.
void ring(ui::Label& label);
void plain(ui::Label& label);
// Rings the labels whose text is one of the days, leaves the others plain.
void showSignedDays(const std::vector<std::shared_ptr<ui::Label>>& labels, const std::vector<std::string>& days);

// The signed days of a month reply, in reply order: characters 9 and 10 of
// each record's "add_time" (yyyy-MM-dd HH:mm:ss). Records whose time is too
// short or has no two-digit day there are left out; a "records" that is not
// an array gives no days.
std::vector<std::string> daysOfReply(const ns::Value& reply);

// The count line's number: "sign_count" as "%@" prints it ("0" when the reply
// has no count).
std::string countText(const ns::Value& reply);

// Today in the program's clock.
struct Today {
    long long year = 0;
    long long month = 0;
    long long day = 0;
};
Today today();

// One month back or forward (January back is December of the year before).
void stepMonth(long long& year, long long& month, int delta);
// The month after the one shown, unless the one shown is this month: then
// the alert "不能查看次月的签到" and false.
bool stepToNextMonth(long long& year, long long& month, long long thisYear, long long thisMonth);

}  // namespace signdays

// What the sign-in calendar and the monthly panel share: today and the month
// on screen, its signed days and day labels, and the requests they send
// (the month's sign-ins, today's sign-in).
class SignCalendar {
public:
    virtual ~SignCalendar() = default;

    // Kinds of request kept in requestType.
    static constexpr const char* kSignType = "签到";
    static constexpr const char* kHistoryType = "签到历史";
    // The operations: a month's sign-ins, today's sign-in.
    static constexpr const char* kGetSign = "GetSign";
    static constexpr const char* kSubmitSign = "SubmitSign";

    std::shared_ptr<VoVaClient> pp;
    std::string user_id;
    long long year = 0, month = 0, day = 0;  // today, when the calendar was made
    long long currentYear = 0, currentMonth = 0;
    std::string requestType;
    std::vector<std::shared_ptr<ui::Label>> labelArray;  // label i shows day i + 1
    std::vector<std::string> timeArray;  // signed days of the month on screen ("01".."31")
    std::shared_ptr<ui::Label> explainLabel;

    // "上一月" / "下一月" (never past this month): the month's sign-ins are asked for.
    void upPages();
    void nextPages();

protected:
    // Today, the logged-in member and this month on screen.
    void startToday();
    // Asks for the sign-ins of the month on screen.
    virtual void requestMonth() = 0;
    // Sends GetSign for the month key; its reply is the one the calendar waits for.
    void sendMonth(const std::string& key);
    // Whether the reply being read is that of the month asked for last.
    bool answersMonth() const;
    // Signs the member in for today under "签到中..." (shown over `host`);
    // nothing while a sign-in is still on its way.
    void sendSign(const ui::View& host);

private:
    // Replies of months stepped past are dropped.
    std::weak_ptr<NetWebServiceRequest> monthRequest_;
};
