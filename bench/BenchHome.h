// The program's home and device folders in a temporary folder of a
// benchmark's own, removed when it ends or is interrupted; the tests' time
// zone, and the resources from the source tree for the programs that draw.
// And the folders of benchmarks that write many files.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "foundation/FileManager.h"
#include "foundation/Signals.h"

// A folder of a benchmark's own, named `prefix` and six random characters,
// removed when it goes, and by Ctrl+C, SIGTERM or a closed terminal (the
// first one a process makes: a process watches one folder). A folder that
// cannot be made ends the program, saying why. In the machine's temporary
// folder, or, as scratch for a benchmark that writes many files, in
// KL_BENCH_TMP, else in a memory file system when there is one (so that the
// disk's write-back does not drown the libraries' own costs).
class BenchFolder {
public:
    enum class Where { Temporary, Scratch };
    BenchFolder(const std::string& prefix, Where where) {
        std::string base;
        if (where == Where::Scratch) {
            if (const char* env = std::getenv("KL_BENCH_TMP"); env && *env)
                base = env;
            else if (access("/dev/shm", W_OK) == 0)
                base = "/dev/shm";
        }
        std::string why;
        const std::string made = ns::makeTemporaryFolder(prefix, &why, base);
        if (made.empty()) {
            std::fprintf(stderr, "cannot make the benchmark's folder: %s\n", why.c_str());
            std::exit(1);
        }
        path = made;
        static bool watching = false;
        if (!std::exchange(watching, true)) ns::removeOnEndingSignals(made);
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    std::filesystem::path path;
};

// The folder of every BenchHome of this process, made with the first one.
inline const std::filesystem::path& benchFolder() {
    static const BenchFolder folder("kl-bench-", BenchFolder::Where::Temporary);
    return folder.path;
}

struct BenchHome {
    BenchHome() {
        static int made = 0;
        folder = (benchFolder() / ("home-" + std::to_string(++made))).string();
        std::error_code ec;
        if (!std::filesystem::create_directory(folder, ec)) {
            std::fprintf(stderr, "cannot make the benchmark's home %s: %s\n", folder.c_str(),
                         ec ? ec.message().c_str() : "it is there already");
            std::exit(1);
        }
        setenv("KL_HOME", folder.c_str(), 1);
        setenv("KL_DEVICE_HOME", (folder + "/device").c_str(), 1);
#ifdef KL_RESOURCES_DIR
        setenv("KL_RESOURCES", KL_RESOURCES_DIR, 0);
#endif
        setenv("TZ", "Asia/Shanghai", 0);
        ns::resetHomeDirectory();
    }
    ~BenchHome() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    BenchHome(const BenchHome&) = delete;
    BenchHome& operator=(const BenchHome&) = delete;

    std::string folder;
};
