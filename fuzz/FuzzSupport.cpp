#include "FuzzSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <utility>
#include <system_error>

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

// The home's path where a signal handler can read it without allocating.
char homePath[PATH_MAX];

// Removes the folder `path` and everything in it with system calls alone, as
// a signal handler may, holding at most two descriptors however deep it is:
// each pass removes the files and empty folders it meets on its way down
// into the first folder that is not empty, and the passes start again from
// the top until the top is gone or one removes nothing.
bool removeTree(const char* path) {
    constexpr int kOpen = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    for (;;) {
        int dir = ::open(path, kOpen);
        if (dir < 0) return errno == ENOENT;
        bool removed = false;
        while (dir >= 0) {
            int below = -1;
            alignas(dirent64) char buffer[1024];
            long size;
            while (below < 0 && (size = syscall(SYS_getdents64, dir, buffer, sizeof buffer)) > 0) {
                for (long at = 0; at < size && below < 0;) {
                    const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                    at += entry->d_reclen;
                    const char* name = entry->d_name;
                    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
                    if (unlinkat(dir, name, 0) == 0 || unlinkat(dir, name, AT_REMOVEDIR) == 0) {
                        removed = true;
                    } else if (errno == ENOTEMPTY || errno == EEXIST) {
                        below = openat(dir, name, kOpen);
                    }
                }
            }
            ::close(dir);
            dir = below;
        }
        if (::rmdir(path) == 0) return true;
        if (!removed) return false;
    }
}

// Ctrl+C, SIGTERM or a closed terminal: the home goes, then the process ends
// as the signal ends it. libFuzzer leaves a handler it finds in place, and
// its own ends the process without the exit handlers that remove the home.
void endBySignal(int sig, siginfo_t*, void*) {
    const int saved = errno;
    if (homePath[0] && !removeTree(homePath)) {
        static const char kLeft[] = "kl-fuzz: cannot remove the temporary home\n";
        [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, kLeft, sizeof kLeft - 1);
    }
    errno = saved;
    std::signal(sig, SIG_DFL);
    raise(sig);  // taken once this handler returns
}

void removeHomeOnSignals() {
    struct sigaction action {};
    action.sa_sigaction = endBySignal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, sig);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        sigaction(sig, nullptr, &before);
        // A hangup ignored (nohup) stays ignored; Ctrl+C and SIGTERM end a
        // run also where they were ignored, as libFuzzer takes them.
        if (sig == SIGHUP && !(before.sa_flags & SA_SIGINFO) && before.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
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
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "kl-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("kl-fuzz: cannot make a temporary home");
        std::exit(2);
    }
    homeSlot() = pattern;
    if (pattern.size() < sizeof homePath) std::memcpy(homePath, pattern.c_str(), pattern.size() + 1);
    std::atexit(removeHome);
    removeHomeOnSignals();
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
