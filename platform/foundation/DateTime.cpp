#include "foundation/DateTime.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include <unistd.h>

#include "foundation/Strings.h"

namespace ns {

namespace {

// The date split into whole seconds (floored) and microseconds, rounded to
// the microsecond first so that 1.234 is 1 s and 234000 µs, not 233999.
// Dates beyond some 285,000 years either way (and NaN) are taken at that
// bound (and at 1970), where the microseconds and the calendar still hold.
void split(Date date, long long& secs, long long& micros) {
    constexpr double kBound = 9e12;
    const double seconds = std::isnan(date.seconds) ? 0 : std::clamp(date.seconds, -kBound, kBound);
    long long us = std::llround(seconds * 1e6);
    secs = us / 1000000;
    micros = us % 1000000;
    if (micros < 0) {
        micros += 1000000;
        secs -= 1;
    }
}

std::tm localTm(long long secs) {
    std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

const char* const kZhMonthsFull[] = {"一月", "二月", "三月", "四月", "五月", "六月",
                                     "七月", "八月", "九月", "十月", "十一月", "十二月"};
const char* const kZhMonthsShort[] = {"1月", "2月", "3月", "4月", "5月", "6月",
                                      "7月", "8月", "9月", "10月", "11月", "12月"};
const char* const kEnMonthsFull[] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char* const kEnMonthsShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kZhWeekdaysFull[] = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
const char* const kZhWeekdaysShort[] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
const char* const kEnWeekdaysFull[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kEnWeekdaysShort[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

struct Names {
    const char* const* monthsFull;
    const char* const* monthsShort;
    const char* const* weekdaysFull;
    const char* const* weekdaysShort;
    const char* am;
    const char* pm;
};

Names namesFor(const std::string& locale) {
    if (hasPrefix(locale, "en"))
        return {kEnMonthsFull, kEnMonthsShort, kEnWeekdaysFull, kEnWeekdaysShort, "AM", "PM"};
    return {kZhMonthsFull, kZhMonthsShort, kZhWeekdaysFull, kZhWeekdaysShort, "上午", "下午"};
}

bool isFieldLetter(char c) {
    switch (c) {
        case 'y': case 'M': case 'd': case 'H': case 'h': case 'm': case 's': case 'S': case 'a': case 'E':
            return true;
        default:
            return false;
    }
}

bool isNumericField(char c, int count) {
    if (c == 'M') return count <= 2;
    return c == 'y' || c == 'd' || c == 'H' || c == 'h' || c == 'm' || c == 's' || c == 'S';
}

std::string padded(long long v, int width) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return v < 0 ? "-" + digits : digits;
}

// Matches one of the names at text[pos]; English names ignore case.
int matchName(std::string_view text, std::size_t& pos, const char* const* names, int n) {
    int best = -1;
    std::size_t bestLen = 0;
    for (int i = 0; i < n; ++i) {
        std::string_view name = names[i];
        if (name.size() <= bestLen || text.size() - pos < name.size()) continue;
        if (asciiCaseInsensitiveEqual(text.substr(pos, name.size()), name)) {
            best = i;
            bestLen = name.size();
        }
    }
    if (best >= 0) pos += bestLen;
    return best;
}

}  // namespace

// ---- Calendar ----

DateComponents dateComponents(Date date) {
    long long secs, micros;
    split(date, secs, micros);
    std::tm tm = localTm(secs);
    DateComponents c;
    c.year = tm.tm_year + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    c.hour = tm.tm_hour;
    c.minute = tm.tm_min;
    c.second = tm.tm_sec;
    c.weekday = tm.tm_wday + 1;
    c.dayOfYear = tm.tm_yday + 1;
    return c;
}

std::optional<Date> dateFromComponents(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::tm asked = tm;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        // -1 is also one second before 1970 UTC; tell it from a failure.
        std::tm check = localTm(-1);
        if (check.tm_year != asked.tm_year || check.tm_mon != asked.tm_mon || check.tm_mday != asked.tm_mday ||
            check.tm_hour != asked.tm_hour || check.tm_min != asked.tm_min || check.tm_sec != asked.tm_sec)
            return std::nullopt;
    }
    return Date{static_cast<double>(t)};
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// In 400-year eras counted from 0000-03-01, so that a leap day ends its year.
long long daysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.month = static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

std::string timeZoneName() {
    auto zoneOf = [](std::string path) -> std::string {
        auto at = path.find("zoneinfo/");
        return at == std::string::npos ? path : path.substr(at + 9);
    };
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string s = tz[0] == ':' ? tz + 1 : tz;
        return zoneOf(s);
    }
    std::ifstream in("/etc/timezone");
    std::string line;
    if (in && std::getline(in, line)) {
        line = trimWhitespaceAndNewlines(line);
        if (!line.empty()) return line;
    }
    char buf[512];
    ssize_t n = ::readlink("/etc/localtime", buf, sizeof buf - 1);
    if (n > 0) return zoneOf(std::string(buf, static_cast<std::size_t>(n)));
    return "UTC";
}

long secondsFromGMT(Date date) {
    long long secs, micros;
    split(date, secs, micros);
    return localTm(secs).tm_gmtoff;
}

void setTimeZoneName(const std::string& name) {
    if (name.empty())
        ::unsetenv("TZ");
    else
        ::setenv("TZ", name.c_str(), 1);
    ::tzset();
}

// ---- DateFormatter ----

void DateFormatter::setDateFormat(std::string format) {
    format_ = std::move(format);
    tokens_.clear();
    auto addLiteral = [&](std::string_view s) {
        if (tokens_.empty() || tokens_.back().letter != 0) tokens_.push_back(Token{});
        tokens_.back().literal += s;
    };
    const std::string& f = format_;
    for (std::size_t i = 0; i < f.size();) {
        char c = f[i];
        if (c == '\'') {
            if (i + 1 < f.size() && f[i + 1] == '\'') {
                addLiteral("'");
                i += 2;
                continue;
            }
            std::size_t j = i + 1;
            std::string text;
            while (j < f.size()) {
                if (f[j] == '\'') {
                    if (j + 1 < f.size() && f[j + 1] == '\'') {
                        text += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += f[j++];
            }
            addLiteral(text);
            i = j + 1;
            continue;
        }
        if (isFieldLetter(c)) {
            std::size_t j = i;
            while (j < f.size() && f[j] == c) ++j;
            tokens_.push_back(Token{c, static_cast<int>(j - i), {}});
            i = j;
            continue;
        }
        addLiteral(std::string_view(&f[i], 1));
        ++i;
    }
}

void DateFormatter::setLocale(std::string identifier) { locale_ = std::move(identifier); }

std::string DateFormatter::stringFromDate(Date date) const {
    long long secs, micros;
    split(date, secs, micros);
    std::tm tm = localTm(secs);
    Names names = namesFor(locale_);
    std::string out;
    for (const Token& t : tokens_) {
        switch (t.letter) {
            case 0: out += t.literal; break;
            case 'y': {
                int year = tm.tm_year + 1900;
                out += t.count == 2 ? padded(((year % 100) + 100) % 100, 2) : padded(year, t.count);
                break;
            }
            case 'M':
                if (t.count >= 4)
                    out += names.monthsFull[tm.tm_mon];
                else if (t.count == 3)
                    out += names.monthsShort[tm.tm_mon];
                else
                    out += padded(tm.tm_mon + 1, t.count);
                break;
            case 'd': out += padded(tm.tm_mday, t.count); break;
            case 'H': out += padded(tm.tm_hour, t.count); break;
            case 'h': out += padded(tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12, t.count); break;
            case 'm': out += padded(tm.tm_min, t.count); break;
            case 's': out += padded(tm.tm_sec, t.count); break;
            case 'S': {
                std::string digits = padded(micros, 6);
                if (t.count <= 6)
                    out += digits.substr(0, static_cast<std::size_t>(t.count));
                else
                    out += digits + std::string(static_cast<std::size_t>(t.count - 6), '0');
                break;
            }
            case 'a': out += tm.tm_hour < 12 ? names.am : names.pm; break;
            case 'E': out += t.count >= 4 ? names.weekdaysFull[tm.tm_wday] : names.weekdaysShort[tm.tm_wday]; break;
        }
    }
    return out;
}

std::optional<Date> DateFormatter::dateFromString(std::string_view text) const {
    Names names = namesFor(locale_);
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    int half = -1;  // -1 none, 0 am, 1 pm
    bool twelveHour = false;
    std::size_t pos = 0;
    for (std::size_t k = 0; k < tokens_.size(); ++k) {
        const Token& t = tokens_[k];
        if (t.letter == 0) {
            if (text.substr(pos, t.literal.size()) != t.literal) return std::nullopt;
            pos += t.literal.size();
            continue;
        }
        if (isNumericField(t.letter, t.count)) {
            // Abutting number fields ("yyyyMMdd") take exactly their width;
            // a field on its own as many digits as there are.
            auto numericAt = [&](std::size_t i) {
                return i < tokens_.size() && tokens_[i].letter != 0 && isNumericField(tokens_[i].letter, tokens_[i].count);
            };
            bool abutting = numericAt(k + 1) || (k > 0 && numericAt(k - 1));
            std::size_t maxDigits = abutting ? static_cast<std::size_t>(t.count) : 9;
            std::size_t start = pos;
            long long v = 0;
            while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9')
                v = v * 10 + (text[pos++] - '0');
            std::size_t n = pos - start;
            if (n == 0 || (abutting && n != maxDigits)) return std::nullopt;
            switch (t.letter) {
                case 'y': year = t.count == 2 && n <= 2 ? static_cast<int>(v < 50 ? 2000 + v : 1900 + v) : static_cast<int>(v); break;
                case 'M': month = static_cast<int>(v); break;
                case 'd': day = static_cast<int>(v); break;
                case 'H': hour = static_cast<int>(v); break;
                case 'h':
                    hour = static_cast<int>(v);
                    twelveHour = true;
                    break;
                case 'm': minute = static_cast<int>(v); break;
                case 's': second = static_cast<int>(v); break;
                case 'S': fraction = static_cast<double>(v) / std::pow(10.0, static_cast<double>(n)); break;
            }
            continue;
        }
        if (t.letter == 'M') {
            int m = matchName(text, pos, t.count >= 4 ? names.monthsFull : names.monthsShort, 12);
            if (m < 0) return std::nullopt;
            month = m + 1;
        } else if (t.letter == 'E') {
            if (matchName(text, pos, t.count >= 4 ? names.weekdaysFull : names.weekdaysShort, 7) < 0)
                return std::nullopt;
        } else if (t.letter == 'a') {
            const char* const halves[] = {names.am, names.pm};
            half = matchName(text, pos, halves, 2);
            if (half < 0) return std::nullopt;
        }
    }
    if (pos != text.size()) return std::nullopt;
    if (twelveHour) {
        if (hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (half == 1 ? 12 : 0);
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 59)
        return std::nullopt;
    auto date = dateFromComponents(year, month, day, hour, minute, second);
    if (!date) return std::nullopt;
    date->seconds += fraction;
    return date;
}

}  // namespace ns
