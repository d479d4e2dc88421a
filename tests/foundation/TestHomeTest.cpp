// The app home every test gets from the test programs' main(): empty at the
// start of each test, whatever the test before it (or the same test, run
// again in the same process) left there, and gone with the program, also
// when a signal ends it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "foundation/FileManager.h"
#include "foundation/UserDefaults.h"
#include "support/ChildProcess.h"
#include "support/UnusableTmpdir.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kMark = "testHomeMark";

// Checks that nothing of another test is in the home, then leaves a file and
// a default behind for the next test to (not) find.
void expectAFreshHomeAndLeaveAMark() {
    const char* home = std::getenv("KL_HOME");
    const char* device = std::getenv("KL_DEVICE_HOME");
    ASSERT_TRUE(home && device);
    EXPECT_EQ(fs::path(device).parent_path(), fs::path(home));
    EXPECT_EQ(ns::homeDirectory(), home);
    EXPECT_FALSE(fs::exists(fs::path(home) / "mark")) << "the home still holds another test's file";
    EXPECT_FALSE(ns::UserDefaults::standardUserDefaults()->objectForKey(kMark).isString())
        << "the defaults still hold another test's value";

    static std::string earlier;
    EXPECT_NE(home, earlier);
    earlier = home;

    std::ofstream(fs::path(home) / "mark") << "here";
    ASSERT_TRUE(fs::exists(fs::path(home) / "mark"));
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value("here"), kMark);
}

TEST(TestHome, EveryTestStartsInAnEmptyHomeOfItsOwn) { expectAFreshHomeAndLeaveAMark(); }
TEST(TestHome, AndSoDoesTheNextOne) { expectAFreshHomeAndLeaveAMark(); }

// A TMPDIR that names no usable folder (none there, a file, empty): the test
// program cannot make the folder of its tests' homes, says so in one line
// that names TMPDIR and why, and ends with 1 before any test runs.
TEST(TestHome, ATestProgramWhoseTMPDIRNamesNoUsableFolderEndsSayingWhy) {
    for (const auto& tmpdir : testsupport::unusableTmpdirs(fs::path(std::getenv("KL_HOME")) / "tmpdirs")) {
        SCOPED_TRACE("TMPDIR=" + tmpdir.value);
        testsupport::ChildProcess tests(KL_INTERRUPTED_TESTS_PATH, {}, {{"TMPDIR", tmpdir.value}});
        ASSERT_TRUE(tests.waitForExit(60)) << tests.output;
        EXPECT_EQ(tests.status, 1) << tests.output;
        EXPECT_EQ(tests.output.rfind("cannot make the tests' folder: TMPDIR", 0), 0u) << tests.output;
        EXPECT_NE(tests.output.find(tmpdir.reason), std::string::npos) << tests.output;
        EXPECT_EQ(tests.output.find("waiting for a signal"), std::string::npos) << tests.output;
    }
}

// A death test's child is the program started again to run the one test: it
// works in that test's home rather than making one of its own.
TEST(TestHome, ADeathTestsChildWorksInItsTestsHome) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path home = std::getenv("KL_HOME");
    EXPECT_EXIT(
        {
            std::ofstream(fs::path(std::getenv("KL_HOME")) / "from-the-child") << "here";
            std::exit(fs::exists(fs::path(ns::homeDirectory()) / "from-the-child") ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::exists(home / "from-the-child"));
}

// Ctrl+C, SIGTERM or a closed terminal in the middle of a test program's
// run: it ends by that signal, and the folder of its tests' homes, with what
// the test under way left there, goes with it.
TEST(TestHome, AnInterruptedTestProgramLeavesNoFolderBehind) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        const fs::path temporary = fs::path(std::getenv("KL_HOME")) / ("tmp-" + std::to_string(sig));
        fs::create_directories(temporary);
        testsupport::ChildProcess tests(KL_INTERRUPTED_TESTS_PATH,
                                        {"--gtest_filter=Interrupted.WaitsForTheSignalThatEndsItsProgram"},
                                        {{"TMPDIR", temporary.string()}});
        ASSERT_TRUE(tests.waitForOutput("waiting for a signal in " + temporary.string() + "/kl-test-"))
            << tests.output;
        tests.signal(sig);
        ASSERT_TRUE(tests.waitForExit(60)) << tests.output;
        EXPECT_EQ(tests.status, 128 + sig) << tests.output;
        EXPECT_TRUE(fs::is_empty(temporary)) << tests.output;
    }
}

// What is in the folder, by name.
std::string namesIn(const fs::path& folder) {
    std::string names;
    for (const auto& entry : fs::directory_iterator(folder)) names += entry.path().filename().string() + " ";
    return names;
}

// SIGTERM at any moment of a test program whose tests keep writing into
// their homes, with the file manager and with std::filesystem (as a test
// starts or ends, as a folder is made, as a file goes in): the folder of its
// tests' homes is gone all the same.
TEST(TestHome, ATestProgramEndedWhileItsTestsWriteLeavesNoFolderBehind) {
    const unsigned seed = std::random_device{}();
    std::mt19937 dice(seed);
    for (int run = 0; run < 20; ++run) {
        const std::string after = "written " + std::to_string(dice() % 200 + 1) + "\n";
        SCOPED_TRACE("seed " + std::to_string(seed) + ", SIGTERM after " + after);
        const fs::path temporary = fs::path(std::getenv("KL_HOME")) / ("tmp-writing-" + std::to_string(run));
        fs::create_directories(temporary);
        testsupport::ChildProcess tests(
            KL_INTERRUPTED_TESTS_PATH, {"--gtest_filter=Interrupted.KeepsWritingIntoItsHome", "--gtest_repeat=-1"},
            {{"TMPDIR", temporary.string()}});
        ASSERT_TRUE(tests.waitForOutput(after)) << tests.output.substr(0, 2000);
        tests.signal(SIGTERM);
        ASSERT_TRUE(tests.waitForExit(60));
        EXPECT_EQ(tests.status, 128 + SIGTERM);
        EXPECT_TRUE(fs::is_empty(temporary)) << "left: " << namesIn(temporary);
    }
}

// A child that a test program forks without a new program, sent SIGTERM,
// ends by it alone: the program goes on, and its folder goes as it ends.
TEST(TestHome, ATestProgramsForkedChildEndsAloneBySIGTERM) {
    const fs::path temporary = fs::path(std::getenv("KL_HOME")) / "tmp-forked";
    fs::create_directories(temporary);
    testsupport::ChildProcess tests(KL_INTERRUPTED_TESTS_PATH, {"--gtest_filter=Interrupted.EndsAForkedChildBySIGTERM"},
                                    {{"TMPDIR", temporary.string()}});
    ASSERT_TRUE(tests.waitForExit(60)) << tests.output;
    EXPECT_EQ(tests.status, 0) << tests.output;
    EXPECT_NE(tests.output.find("every child ended alone"), std::string::npos) << tests.output;
    EXPECT_TRUE(fs::is_empty(temporary)) << "left: " << namesIn(temporary);
}

}  // namespace
