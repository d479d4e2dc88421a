#include "foundation/Log.h"

#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace ns {

struct LogCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
    bool echo = false;
    LogCapture::Keep keep;
};

namespace {
std::mutex gLogMutex;
LogCapture* gCapture = nullptr;
}  // namespace

LogCapture::LogCapture(Echo echo, Keep keep) : state_(new State) {
    state_->echo = echo == Echo::Yes;
    state_->keep = std::move(keep);
    std::lock_guard lock(gLogMutex);
    previous_ = gCapture;
    gCapture = this;
}

LogCapture::~LogCapture() {
    {
        std::lock_guard lock(gLogMutex);
        gCapture = previous_;
    }
    delete state_;
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

std::size_t LogCapture::lineCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines.size();
}

void LogCapture::forEachLine(std::size_t from, const std::function<void(std::string_view)>& visit) const {
    std::lock_guard lock(state_->mutex);
    for (std::size_t i = from; i < state_->lines.size(); ++i) visit(state_->lines[i]);
}

bool LogCapture::contains(std::string_view needle) const {
    std::lock_guard lock(state_->mutex);
    for (const auto& l : state_->lines)
        if (l.find(needle) != std::string::npos) return true;
    return false;
}

void LogCapture::clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
}

void logLine(std::string_view text) {
    std::string_view line = text;
    while (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    std::lock_guard lock(gLogMutex);
    if (gCapture) {
        LogCapture::State& capture = *gCapture->state_;
        std::lock_guard inner(capture.mutex);
        if (!capture.keep || capture.keep(line)) capture.lines.emplace_back(line);
        if (!capture.echo) return;
    }
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm tm{};
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    std::fprintf(stderr, "%s.%03d Kestrowline[%d] %.*s\n", stamp, static_cast<int>(tv.tv_usec / 1000),
                 static_cast<int>(getpid()), static_cast<int>(std::min<std::size_t>(line.size(), INT_MAX)), line.data());
}

}  // namespace ns
