// A test program to be interrupted (TestHomeTest runs it): its one test
// leaves a file in its home, says where it waits, and waits for the signal
// that ends the program.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

TEST(Interrupted, WaitsForTheSignalThatEndsItsProgram) {
    const std::filesystem::path home = std::getenv("KL_HOME");
    std::ofstream(home / "left-by-the-test") << "here";
    std::printf("waiting for a signal in %s\n", home.c_str());
    std::fflush(stdout);
    sigset_t none;
    sigemptyset(&none);
    for (;;) sigsuspend(&none);
}

}  // namespace
