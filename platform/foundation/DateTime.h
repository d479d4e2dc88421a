// Calendar arithmetic and date text in the local time zone (the process's
// TZ, so tests pin it with TZ=Asia/Shanghai). The Gregorian calendar
// throughout. "Now" is the run loop's clock, not this file's business.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Value.h"

namespace ns {

struct DateComponents {
    int year = 0;
    int month = 0;      // 1-12
    int day = 0;        // 1-31
    int hour = 0;       // 0-23
    int minute = 0;
    int second = 0;
    int weekday = 0;    // 1 = Sunday ... 7 = Saturday
    int dayOfYear = 0;  // 1-366
    friend bool operator==(const DateComponents&, const DateComponents&) = default;
};

// The date's components in the local time zone (whole seconds, the fraction
// dropped).
DateComponents dateComponents(Date date);

// The local date for the components. Out-of-range fields carry over as the
// calendar does (month 13 is January of the next year, day 0 the last day of
// the previous month); a time skipped by a daylight-saving change moves
// forward. nullopt only when the platform cannot represent it.
std::optional<Date> dateFromComponents(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

bool isLeapYear(int year);

// ---- Days of the proleptic Gregorian calendar, in UTC ----

// A day of the calendar: year (0 is 1 BC, -1 is 2 BC), month 1-12, day 1-31.
struct CivilDate {
    long long year = 1970;
    unsigned month = 1;
    unsigned day = 1;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};
// Days from 1970-01-01 to the date (negative before it). In 64 bits
// throughout: exact for years within 10^16 either way of 1970.
long long daysFromCivil(long long year, unsigned month, unsigned day);
// The date of a day counted from 1970-01-01, the inverse of daysFromCivil,
// for any count of days within 2^62 either way.
CivilDate civilFromDays(long long days);
// 28-31; 0 for a month outside 1-12.
int daysInMonth(int year, int month);

// The zone's name ("Asia/Shanghai"): from TZ, else the system's setting,
// else "UTC".
std::string timeZoneName();
// Offset of local time from UTC at the date, in seconds (+28800 in Shanghai).
long secondsFromGMT(Date date);
// Changes the process's zone (tests and device settings).
void setTimeZoneName(const std::string& name);

// Date text by pattern, in the local zone. Pattern letters (runs of one
// letter make one field):
//   y year (yy: two digits), M month (M, MM; MMM and MMMM names), d day,
//   H hour 0-23, h hour 1-12, m minute, s second, S fraction of a second
//   (SSS: milliseconds, truncated), a the half of the day, E weekday (E-EEE
//   short, EEEE full).
// Text in single quotes is literal ('' is a quote); other characters are
// literal too. Names follow the locale: "zh_CN" (the default: 一月, 周日,
// 上午) or any "en..." locale (Jan, Sun, AM).
class DateFormatter {
public:
    DateFormatter() = default;
    explicit DateFormatter(std::string format) { setDateFormat(std::move(format)); }

    void setDateFormat(std::string format);
    const std::string& dateFormat() const { return format_; }
    void setLocale(std::string identifier);
    const std::string& locale() const { return locale_; }

    std::string stringFromDate(Date date) const;
    // The date the text names, or nullopt when the text does not match the
    // pattern exactly (every character consumed, fields in range: no
    // 30 February, no hour 24). Fields the pattern lacks default to
    // 2000-01-01 00:00:00.
    std::optional<Date> dateFromString(std::string_view text) const;

private:
    struct Token {
        char letter = 0;  // 0 for literal text
        int count = 0;
        std::string literal;
    };
    std::string format_;
    std::string locale_ = "zh_CN";
    std::vector<Token> tokens_;
};

}  // namespace ns
