// A test program to be interrupted (TestHomeTest runs it, one test at a
// time): a test that leaves a file in its home, says where it waits, and
// waits for the signal that ends the program; one that keeps writing into its
// home as tests do, through the file manager and past it; and one that forks
// a child and ends it with SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/Data.h"
#include "foundation/FileManager.h"

namespace {

namespace fs = std::filesystem;

TEST(Interrupted, WaitsForTheSignalThatEndsItsProgram) {
    const fs::path home = std::getenv("KL_HOME");
    std::ofstream(home / "left-by-the-test") << "here";
    std::printf("waiting for a signal in %s\n", home.c_str());
    std::fflush(stdout);
    sigset_t none;
    sigemptyset(&none);
    for (;;) sigsuspend(&none);
}

// Run over and over (--gtest_repeat=-1): each round says "written N" once it
// has written, N counting on across the rounds.
TEST(Interrupted, KeepsWritingIntoItsHome) {
    static int written = 0;
    const fs::path home = std::getenv("KL_HOME");
    for (int n = 0; n < 8; ++n) {
        const fs::path folder = home / "Library" / "Caches" / std::to_string(n % 3);
        std::error_code ec;
        fs::create_directories(folder, ec);
        std::ofstream(folder / "file") << n;
        ns::writeFileAtomically(ns::documentsDirectory() + "/file", std::string_view("here"));
        std::printf("written %d\n", ++written);
        std::fflush(stdout);
    }
}

// SIGTERM to a child forked without a new program ends that child, by the
// signal, and nothing else: this program goes on.
TEST(Interrupted, EndsAForkedChildBySIGTERM) {
    for (int round = 0; round < 20; ++round) {
        const pid_t parent = getpid();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the program
            if (getppid() != parent) _exit(1);
            for (;;) pause();
        }
        kill(child, SIGTERM);
        int raw = 0;
        ASSERT_EQ(waitpid(child, &raw, 0), child);
        ASSERT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == SIGTERM) << "round " << round << ", status " << raw;
    }
    std::printf("every child ended alone\n");
}

}  // namespace
