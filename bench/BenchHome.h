// The program's home and device folders in a temporary folder of a
// benchmark's own, removed when it ends; the tests' time zone, and the
// resources from the source tree for the programs that draw.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/FileManager.h"

struct BenchHome {
    BenchHome() {
        std::string why;
        folder = ns::makeTemporaryFolder("kl-bench-", &why);
        if (folder.empty()) {
            std::fprintf(stderr, "cannot make the benchmark's home: %s\n", why.c_str());
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
        if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }
    BenchHome(const BenchHome&) = delete;
    BenchHome& operator=(const BenchHome&) = delete;

    std::string folder;
};
