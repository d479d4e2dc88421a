#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "foundation/DateTime.h"

using namespace ns;

namespace {

// Local (Asia/Shanghai, UTC+8) date for the components; fails the test when
// the calendar cannot make it.
Date local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    auto date = dateFromComponents(y, mo, d, h, mi, s);
    EXPECT_TRUE(date.has_value());
    return date.value_or(Date{});
}

}  // namespace

TEST(Calendar, LocalZoneIsTheProcessZone) {
    EXPECT_EQ(timeZoneName(), "Asia/Shanghai");
    EXPECT_EQ(secondsFromGMT(Date{0}), 8 * 3600);
    DateComponents c = dateComponents(Date{0});
    EXPECT_EQ(c, (DateComponents{1970, 1, 1, 8, 0, 0, 5, 1}));  // a Thursday
    EXPECT_EQ(local(1980, 1, 1).seconds, 315504000);              // 1979-12-31 16:00 UTC
    // Shanghai kept summer time in 1988.
    EXPECT_EQ(secondsFromGMT(local(1988, 7, 1, 12)), 9 * 3600);

    setTimeZoneName("UTC");
    EXPECT_EQ(dateComponents(Date{0}).hour, 0);
    EXPECT_EQ(timeZoneName(), "UTC");
    setTimeZoneName("Asia/Shanghai");
    EXPECT_EQ(dateComponents(Date{0}).hour, 8);
}

TEST(Calendar, MonthEndsAndLeapDays) {
    for (auto [y, m, days] : {std::array{2015, 2, 28}, {2016, 2, 29}, {1900, 2, 28}, {2000, 2, 29}, {2015, 4, 30},
                              {2015, 12, 31}, {2015, 13, 0}})
        EXPECT_EQ(daysInMonth(y, m), days) << y << "-" << m;

    // The last second of January, then the first of February.
    Date end = local(2015, 1, 31, 23, 59, 59);
    EXPECT_EQ(dateComponents(end), (DateComponents{2015, 1, 31, 23, 59, 59, 7, 31}));
    EXPECT_EQ(dateComponents(Date{end.seconds + 1}), (DateComponents{2015, 2, 1, 0, 0, 0, 1, 32}));

    // 29 February exists in 2016, and the day after is 1 March.
    Date leap = local(2016, 2, 29, 12);
    EXPECT_EQ(dateComponents(leap), (DateComponents{2016, 2, 29, 12, 0, 0, 2, 60}));
    EXPECT_EQ(dateComponents(Date{leap.seconds + 86400}).month, 3);
    EXPECT_EQ(dateComponents(local(2016, 12, 31)).dayOfYear, 366);
    EXPECT_EQ(dateComponents(local(2015, 12, 31)).dayOfYear, 365);

    // Out-of-range fields carry over.
    EXPECT_EQ(local(2015, 2, 29).seconds, local(2015, 3, 1).seconds);
    EXPECT_EQ(local(2015, 13, 1).seconds, local(2016, 1, 1).seconds);
    EXPECT_EQ(local(2015, 3, 0).seconds, local(2015, 2, 28).seconds);

    // Fractions and times before 1970 floor to the second they lie in.
    EXPECT_EQ(dateComponents(Date{-0.5}), (DateComponents{1970, 1, 1, 7, 59, 59, 5, 1}));

    // Dates no calendar step can hold are taken at the farthest it can.
    EXPECT_EQ(dateComponents(Date{1e300}).year, dateComponents(Date{9e12}).year);
    EXPECT_GT(dateComponents(Date{1e300}).year, 285000);
    EXPECT_LT(dateComponents(Date{-INFINITY}).year, -281000);
    EXPECT_EQ(dateComponents(Date{NAN}), dateComponents(Date{0}));
}

// The UTC calendar of day counts: day by day over two thousand years either
// side of 1970, and as far as 64 bits reach.
TEST(Calendar, DayCountsAndDatesAgree) {
    EXPECT_EQ(civilFromDays(0), (CivilDate{1970, 1, 1}));
    EXPECT_EQ(civilFromDays(11016), (CivilDate{2000, 2, 29}));
    EXPECT_EQ(civilFromDays(-719528), (CivilDate{0, 1, 1}));
    EXPECT_EQ(civilFromDays(-719529), (CivilDate{-1, 12, 31}));
    EXPECT_EQ(daysFromCivil(2015, 3, 1), 16495);
    EXPECT_EQ(daysFromCivil(1900, 3, 1), -25508);

    constexpr long long kSpan = 800'000;
    CivilDate previous = civilFromDays(-kSpan - 1);
    for (long long days = -kSpan; days <= kSpan; ++days) {
        const CivilDate date = civilFromDays(days);
        ASSERT_EQ(daysFromCivil(date.year, date.month, date.day), days);
        const bool newMonth = date.day == 1;
        const int monthDays = daysInMonth(static_cast<int>(previous.year), static_cast<int>(previous.month));
        ASSERT_EQ(newMonth, previous.day == static_cast<unsigned>(monthDays)) << days;
        if (!newMonth) {
            ASSERT_EQ(date.day, previous.day + 1) << days;
        }
        previous = date;
    }

    for (long long days : {1LL << 62, -(1LL << 62), 1'000'000'000'000'000LL, -999'999'999'999'999LL}) {
        const CivilDate date = civilFromDays(days);
        EXPECT_EQ(daysFromCivil(date.year, date.month, date.day), days) << days;
    }
    EXPECT_EQ(civilFromDays(daysFromCivil(10'000'000'000'000'000LL, 12, 31)),
              (CivilDate{10'000'000'000'000'000LL, 12, 31}));
}

TEST(DateFormat, PatternsInUseFormatAndParseBack) {
    Date when{local(2015, 3, 8, 9, 5, 7).seconds + 0.042};
    struct Case {
        const char* pattern;
        const char* text;
        double parsed;  // what the text reads back as
    } cases[] = {
        {"yyyy-MM-dd", "2015-03-08", local(2015, 3, 8).seconds},
        {"yyyy-MM-dd HH:mm", "2015-03-08 09:05", local(2015, 3, 8, 9, 5).seconds},
        {"yyyy-MM-dd HH:mm:ss", "2015-03-08 09:05:07", local(2015, 3, 8, 9, 5, 7).seconds},
        {"yyyy/MM/dd HH:mm:ss:SSS", "2015/03/08 09:05:07:042", when.seconds},
        {"yyyy年MM月dd日", "2015年03月08日", local(2015, 3, 8).seconds},
        {"yyyyMMddHHmmss", "20150308090507", local(2015, 3, 8, 9, 5, 7).seconds},
        {"y-M-d H:m:s", "2015-3-8 9:5:7", local(2015, 3, 8, 9, 5, 7).seconds},
        {"yyyy-MM-dd'T'HH:mm 'o''clock'", "2015-03-08T09:05 o'clock", local(2015, 3, 8, 9, 5).seconds},
        {"hh:mm a", "09:05 上午", local(2000, 1, 1, 9, 5).seconds},
        {"EEEE yy/M/d", "星期日 15/3/8", local(2015, 3, 8).seconds},
        {"MMMM d", "三月 8", local(2000, 3, 8).seconds},
    };
    for (const auto& c : cases) {
        DateFormatter f(c.pattern);
        EXPECT_EQ(f.stringFromDate(when), c.text) << c.pattern;
        auto back = f.dateFromString(c.text);
        ASSERT_TRUE(back.has_value()) << c.pattern;
        EXPECT_NEAR(back->seconds, c.parsed, 1e-6) << c.pattern;
        EXPECT_EQ(f.stringFromDate(*back), c.text) << c.pattern;
    }
}

TEST(DateFormat, TwelveHourClockAndEnglishNames) {
    DateFormatter f("h:mm a");
    EXPECT_EQ(f.stringFromDate(local(2015, 3, 8, 0, 30)), "12:30 上午");
    EXPECT_EQ(f.stringFromDate(local(2015, 3, 8, 12, 30)), "12:30 下午");
    EXPECT_EQ(f.stringFromDate(local(2015, 3, 8, 23, 30)), "11:30 下午");
    EXPECT_EQ(dateComponents(*f.dateFromString("12:30 上午")).hour, 0);
    EXPECT_EQ(dateComponents(*f.dateFromString("12:30 下午")).hour, 12);

    DateFormatter en("EEE, d MMM yyyy hh:mm a");
    en.setLocale("en_US_POSIX");
    EXPECT_EQ(en.stringFromDate(local(2015, 3, 8, 15, 4)), "Sun, 8 Mar 2015 03:04 PM");
    EXPECT_EQ(en.dateFromString("sun, 8 mar 2015 03:04 pm")->seconds, local(2015, 3, 8, 15, 4).seconds);
}

TEST(DateFormat, MillisecondsTruncateAndCarryNothing) {
    DateFormatter f("HH:mm:ss.SSS");
    Date base = local(2015, 3, 8, 23, 59, 59);
    EXPECT_EQ(f.stringFromDate(Date{base.seconds + 0.9999}), "23:59:59.999");
    EXPECT_EQ(f.stringFromDate(Date{base.seconds + 0.001}), "23:59:59.001");
    EXPECT_EQ(f.stringFromDate(Date{base.seconds + 0.1234}), "23:59:59.123");
    EXPECT_EQ(DateFormatter("ss.S").stringFromDate(Date{base.seconds + 0.98}), "59.9");
}

TEST(DateFormat, MismatchesGiveNothing) {
    DateFormatter f("yyyy-MM-dd HH:mm:ss");
    for (const char* bad : {"", "2015-03-08", "2015-03-08 09:05:07 ", "2015/03/08 09:05:07", "2015-02-29 00:00:00",
                            "2016-02-30 00:00:00", "2015-13-01 00:00:00", "2015-00-10 00:00:00", "2015-03-08 24:00:00",
                            "2015-03-08 23:60:00", "2015-03-08 23:00:60", "2015-3x-08 00:00:00", "abcd-03-08 00:00:00"})
        EXPECT_FALSE(f.dateFromString(bad).has_value()) << bad;
    EXPECT_TRUE(f.dateFromString("2016-02-29 00:00:00").has_value());
    EXPECT_FALSE(DateFormatter("h:mm a").dateFromString("13:00 下午").has_value());
    EXPECT_FALSE(DateFormatter("yyyyMMdd").dateFromString("2015038").has_value());
    EXPECT_FALSE(DateFormatter("MMM").dateFromString("13月").has_value());
}
