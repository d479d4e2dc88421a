#include "FuzzSupport.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <utility>
#include <system_error>

#include "foundation/FileManager.h"
#include "foundation/Signals.h"

namespace fuzz {

namespace {

std::string& homeSlot() {
    static std::string home;
    return home;
}

void removeHome() {
    std::error_code ec;
    if (!homeSlot().empty()) std::filesystem::remove_all(homeSlot(), ec);
}

}  // namespace

const std::string& home() { return homeSlot(); }

void fail(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

namespace {

// Pairs of containers found the same, or being compared: each pair is
// compared once, so values that share containers compare in the time of
// their distinct pairs.
using Compared = std::set<std::pair<const void*, const void*>>;

bool same(const ns::Value& a, const ns::Value& b, const Slack& slack, Compared& compared) {
    using Kind = ns::Value::Kind;
    auto numeric = [](const ns::Value& v) { return v.kind() == Kind::Integer || v.kind() == Kind::Double; };
    if (slack.numbersByValue && numeric(a) && numeric(b) && a.kind() != b.kind()) return a == b;
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
        case Kind::Nil:
        case Kind::Null: return true;
        case Kind::Bool: return a.boolValue() == b.boolValue();
        case Kind::Integer:
            return a.isUnsigned() == b.isUnsigned() && a.integerValue() == b.integerValue() &&
                   a.unsignedValue() == b.unsignedValue();
        case Kind::Double: {
            double x = a.doubleValue(), y = b.doubleValue();
            if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
            return x == y && (slack.numbersByValue || std::signbit(x) == std::signbit(y));
        }
        case Kind::String: return a.str() == b.str();
        case Kind::Data: return a.data() == b.data();
        case Kind::Date:
            // Without slack, to the bit of the seconds since the reference date.
            if (slack.dateSeconds == 0) return a.timeIntervalSinceReferenceDate() == b.timeIntervalSinceReferenceDate();
            return std::fabs(a.date().seconds - b.date().seconds) <= slack.dateSeconds;
        case Kind::Array: {
            if (!compared.emplace(&a.items(), &b.items()).second) return true;
            const auto& x = a.items();
            const auto& y = b.items();
            if (x.size() != y.size()) return false;
            for (std::size_t i = 0; i < x.size(); ++i)
                if (!same(x[i], y[i], slack, compared)) return false;
            return true;
        }
        case Kind::Dictionary: {
            if (!compared.emplace(&a.entries(), &b.entries()).second) return true;
            if (a.count() != b.count()) return false;
            for (const auto& [key, value] : a.entries())
                if (!b.has(key) || !same(value, b[key], slack, compared)) return false;
            return true;
        }
    }
    return false;
}

}  // namespace

bool sameValue(const ns::Value& a, const ns::Value& b, const Slack& slack) {
    Compared compared;
    return same(a, b, slack, compared);
}

// The settings every test program runs with (tests/support/TestMain.cpp).
void setUpProcess() {
    std::string why;
    const std::string pattern = ns::makeTemporaryFolder("kl-fuzz-", &why);
    if (pattern.empty()) {
        std::fprintf(stderr, "kl-fuzz: cannot make a temporary home: %s\n", why.c_str());
        std::exit(2);
    }
    homeSlot() = pattern;
    std::atexit(removeHome);
    // libFuzzer's own handlers, which leave one found in place, end the
    // process without the exit handlers; it takes Ctrl+C and SIGTERM also
    // where they were ignored (a script's background job), and so does this.
    ns::removeOnEndingSignals(pattern, ns::IgnoredSignals::InterruptAndTerminateTaken);
    setenv("KL_HOME", pattern.c_str(), 1);
    setenv("KL_DEVICE_HOME", (pattern + "/device").c_str(), 1);
    setenv("TZ", "Asia/Shanghai", 1);
    if (!std::getenv("KL_RESOURCES")) setenv("KL_RESOURCES", KL_RESOURCES_DIR, 1);
    tzset();
}

}  // namespace fuzz

// libFuzzer calls this once before the first input; the replay driver does
// the same.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpProcess();
    return 0;
}
