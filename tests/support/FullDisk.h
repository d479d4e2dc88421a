// A full disk for the test's own process, while the object lives: no file
// may grow (RLIMIT_FSIZE 0, its signal ignored), so that every write fails
// with EFBIG ("File too large") as a write to a full disk fails with ENOSPC.
// Files may still be made, empty, and removed. For a program run as a peer,
// Command.h's onADiskOf does the same. With it, what a failed write leaves:
// the log lines that say it, and temporary files.
//
//   ns::LogCapture log;
//   {
//       testsupport::FullDisk disk;
//       EXPECT_FALSE(board->setString("not kept"));
//   }
//   EXPECT_EQ(testsupport::linesWith(log, "Pasteboard: ").size(), 1u);
//   EXPECT_TRUE(testsupport::temporariesIn(folder).empty());
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Log.h"

namespace testsupport {

class FullDisk {
public:
    FullDisk() {
        getrlimit(RLIMIT_FSIZE, &saved_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = saved_;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit saved_{};
    void (*handler_)(int) = nullptr;
};

// The lines of the log that hold `text`.
inline std::vector<std::string> linesWith(const ns::LogCapture& log, std::string_view text) {
    std::vector<std::string> out;
    for (const auto& line : log.lines())
        if (line.find(text) != std::string::npos) out.push_back(line);
    return out;
}

// The files in the folder that a write cut short leaves ("<name>.tmp-XXXXXX").
inline std::vector<std::string> temporariesIn(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp-") != std::string::npos) out.push_back(entry.path());
    return out;
}

}  // namespace testsupport
