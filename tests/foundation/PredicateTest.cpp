#include <gtest/gtest.h>

#include "foundation/Log.h"
#include "foundation/Predicate.h"

using namespace ns;

namespace {

// The four mobile-number patterns of the identity check.
const char* const kMobilePatterns[] = {
    "^1(3[0-9]|5[0-35-9]|8[025-9])\\d{8}$",
    "^1(34[0-8]|(3[5-9]|5[017-9]|8[278])\\d)\\d{7}$",
    "^1(3[0-2]|5[256]|8[56])\\d{8}$",
    "^1((33|53|8[09])[0-9]|349)\\d{7}$",
};

bool isMobileNumber(const std::string& text) {
    for (const char* pattern : kMobilePatterns)
        if (Predicate::predicateWithFormat("SELF MATCHES %@", Value(pattern)).evaluateWithObject(Value(text)))
            return true;
    return false;
}

}  // namespace

TEST(Predicate, MobileNumbersMatchOnlyAsAWhole) {
    // Accepted: 11 digits beginning 130-139, 150-153, 155-159, 180, 182, 185-189.
    for (const char* ok : {"13012345678", "13912345678", "15012345678", "15312345678", "15512345678", "15912345678",
                           "18012345678", "18212345678", "18512345678", "18912345678"})
        EXPECT_TRUE(isMobileNumber(ok)) << ok;
    for (const char* bad : {"15412345678", "18112345678", "18312345678", "18412345678", "12012345678",
                            "1301234567", "130123456789", " 13012345678", "13012345678\n", "x13012345678",
                            "1301234567a", "", "１３０１２３４５６７８"})
        EXPECT_FALSE(isMobileNumber(bad)) << bad;
}

TEST(Predicate, WholeTextMatchWithoutAnchors) {
    auto p = Predicate::predicateWithFormat("SELF MATCHES %@", Value("[0-9]+"));
    EXPECT_TRUE(p.evaluateWithObject(Value("123")));
    EXPECT_FALSE(p.evaluateWithObject(Value("123a")));
    EXPECT_FALSE(p.evaluateWithObject(Value("a123")));
    EXPECT_FALSE(p.evaluateWithObject(Value(123)));  // not a string
    EXPECT_FALSE(p.evaluateWithObject(Value()));
    // Code points, not bytes: "." is one Chinese character.
    EXPECT_TRUE(matchesRegex("党建", ".{2}"));
    EXPECT_FALSE(matchesRegex("党建", ".{6}"));
    // The pattern may be written in the format.
    EXPECT_TRUE(Predicate::predicateWithFormat("self matches '[a-z]{3}'").evaluate("abc"));
}

TEST(Predicate, InvalidPatternOrFormatEvaluatesFalseWithALogLine) {
    LogCapture log;
    auto bad = Predicate::predicateWithFormat("SELF MATCHES %@", Value("(unclosed"));
    EXPECT_FALSE(bad.isValid());
    EXPECT_FALSE(bad.evaluate("(unclosed"));
    EXPECT_TRUE(log.contains("invalid regular expression"));

    log.clear();
    EXPECT_FALSE(Predicate::predicateWithFormat("SELF BEGINSWITH %@", Value("a")).evaluate("abc"));
    EXPECT_TRUE(log.contains("unsupported format"));
    log.clear();
    EXPECT_FALSE(Predicate::predicateWithFormat("SELF MATCHES %@", Value(5)).evaluate("5"));
    EXPECT_FALSE(log.lines().empty());
}
