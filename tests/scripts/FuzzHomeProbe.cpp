// A process set up as every fuzz target is (fuzz/FuzzSupport.cpp): it fills
// its temporary home as the targets that write files do, deeper and fuller
// than they do, prints where it is and waits to be ended. The tests end it as
// a person ends a fuzzer.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    namespace fs = std::filesystem;
    const fs::path home = fuzz::home();
    fs::path deep = home / "Library/Preferences";
    for (int level = 0; level < 64; ++level) {
        deep /= "level-" + std::to_string(level);
        fs::create_directories(deep);
        std::ofstream(deep / "file") << level;
    }
    for (int i = 0; i < 300; ++i) std::ofstream(home / ("extracted-file-with-a-long-name-" + std::to_string(i))) << i;
    std::printf("home: %s\n", home.c_str());
    std::fflush(stdout);
    for (;;) pause();
}
