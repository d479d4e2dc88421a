// The program's home and device folders in a temporary folder of a
// benchmark's own, removed when it ends or is interrupted; the tests' time
// zone, and the resources from the source tree for the programs that draw.
// And the scratch folder of a benchmark that writes many files.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/FileManager.h"
#include "foundation/Signals.h"

// The folder of every BenchHome of this process, made with the first one:
// removed at the end, and by Ctrl+C, SIGTERM or a closed terminal however
// many homes the benchmarks made and left.
inline const std::string& benchFolder() {
    static const struct Folder {
        std::string path;
        Folder() {
            std::string why;
            path = ns::makeTemporaryFolder("kl-bench-", &why);
            if (path.empty()) {
                std::fprintf(stderr, "cannot make the benchmark's home: %s\n", why.c_str());
                std::exit(1);
            }
            ns::removeOnEndingSignals(path);
        }
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } folder;
    return folder.path;
}

struct BenchHome {
    BenchHome() {
        static int made = 0;
        folder = benchFolder() + "/home-" + std::to_string(++made);
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

// A new folder named `prefix` and six random characters, in KL_BENCH_TMP,
// else in a memory file system when there is one (so that the disk's
// write-back does not drown the libraries' own costs), else in the
// machine's temporary folder. A folder that cannot be made ends the
// program, saying why.
inline std::filesystem::path makeBenchScratch(const std::string& prefix) {
    std::string base;
    if (const char* env = std::getenv("KL_BENCH_TMP"); env && *env) {
        base = env;
    } else if (access("/dev/shm", W_OK) == 0) {
        base = "/dev/shm";
    }
    std::string why;
    std::string folder;
    if (base.empty()) {
        folder = ns::makeTemporaryFolder(prefix, &why);
    } else {
        folder = base + "/" + prefix + "XXXXXX";
        if (!mkdtemp(folder.data())) {
            why = base + ": " + std::strerror(errno);
            folder.clear();
        }
    }
    if (folder.empty()) {
        std::fprintf(stderr, "cannot make the benchmark's scratch folder: %s\n", why.c_str());
        std::exit(1);
    }
    return folder;
}
