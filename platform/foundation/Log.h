// The system log: NSLog writes one line to standard error. Tests capture the
// lines with a LogCapture, which also keeps them off standard error (unless
// it echoes them, for a reader that also wants them written).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Format.h"

namespace ns {

// Writes one line (a trailing newline is added when missing).
void logLine(std::string_view text);

template <typename... A>
void NSLog(std::string_view fmt, const A&... args) {
    logLine(format(fmt, args...));
}

// While alive, every logged line goes to this capture instead of stderr
// (as well, when it echoes). Captures nest; the innermost one receives the
// lines. Thread-safe. A capture given a test keeps only the lines that pass
// it (a log may carry replies of megabytes that its reader has no use for);
// the others are still echoed.
class LogCapture {
public:
    enum class Echo { No, Yes };
    using Keep = std::function<bool(std::string_view)>;
    explicit LogCapture(Echo echo = Echo::No, Keep keep = {});
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    std::size_t lineCount() const;
    // Each line from the index `from` on, without copying it; `visit` runs
    // under the capture's lock and must not log.
    void forEachLine(std::size_t from, const std::function<void(std::string_view)>& visit) const;
    bool contains(std::string_view needle) const;  // any line containing it
    void clear();

private:
    friend void logLine(std::string_view text);
    struct State;
    State* state_;
    LogCapture* previous_;
};

}  // namespace ns
