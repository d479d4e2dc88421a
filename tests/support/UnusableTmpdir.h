// Values of TMPDIR that name no folder a program can make its temporary
// folder in, each with what the reason a program gives must say.
#pragma once

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

struct UnusableTmpdir {
    std::string value;   // TMPDIR=value
    std::string reason;  // in the program's message
};

// A folder that is not there, a file, and the empty text; the file is made
// in `scratch`.
inline std::vector<UnusableTmpdir> unusableTmpdirs(const std::filesystem::path& scratch) {
    std::filesystem::create_directories(scratch);
    const std::filesystem::path file = scratch / "a-file-not-a-folder";
    std::ofstream(file) << "x";
    return {{(scratch / "no-such-folder").string(), std::strerror(ENOENT)},
            {file.string(), std::strerror(ENOTDIR)},
            {"", "empty"}};
}

}  // namespace testsupport
