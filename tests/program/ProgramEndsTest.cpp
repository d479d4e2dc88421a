// How the program ends: its exit status says whether it did what it was
// asked, and whatever ends a tour (a signal, two in a row, a closed terminal,
// output nobody reads any more), the temporary home it made, which holds the
// member's password, is gone afterwards and nothing makes it again.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "demo/DemoService.h"
#include "soapserver/SoapServer.h"
#include "support/ChildProcess.h"
#include "support/Command.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = KL_PROGRAM_PATH;

// A print of the home screen whose start-up did not go through still shows
// the screen, but says why and exits 1: a service that refuses the
// connection, one that never answers, and output that cannot be written.
TEST(ProgramEndsTest, APrintOfTheHomeScreenExits1AndSaysWhyWhenItsStartUpDidNotGoThrough) {
    auto refused = testsupport::runCommand(kProgram + " --service " + SoapServer::refusedURL() + " --dump-home");
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.output.find("kestrowline: the start-up failed: the version check: "), std::string::npos)
        << refused.output;
    EXPECT_NE(refused.output.find("connect"), std::string::npos) << refused.output;
    EXPECT_NE(refused.output.find("<HeadViewController>"), std::string::npos) << refused.output;

    SoapServer silent;
    silent.handleOthers([](const SoapServer::Received&) { return SoapServer::held(); });
    auto unanswered = testsupport::runCommand(kProgram + " --service " + silent.url() + " --dump-home --wait 1");
    silent.release();
    EXPECT_EQ(unanswered.status, 1) << unanswered.output;
    EXPECT_NE(unanswered.output.find("kestrowline: the start-up requests did not finish in 1 s"), std::string::npos)
        << unanswered.output;
    EXPECT_EQ(unanswered.output.find("start-up failed"), std::string::npos) << unanswered.output;

    demo::DemoService svc({KL_DEMO_DATA_DIR, (fs::path(std::getenv("KL_HOME")) / "dump-state").string(), 0});
    auto answered = testsupport::runCommand(kProgram + " --service " + svc.url() + " --dump-home >/dev/null");
    EXPECT_EQ(answered.status, 0) << answered.output;
    // A wait longer than the clock reaches lasts as long as it can, one
    // beyond what a number holds too: the start-up still settles.
    for (const char* wait : {"1e10", "1e400", "99999999999999999999e99999999999999999999"}) {
        auto waited =
            testsupport::runCommand(kProgram + " --service " + svc.url() + " --dump-home --wait " + wait + " >/dev/null");
        EXPECT_EQ(waited.status, 0) << wait << ": " << waited.output;
    }
    auto unwritten = testsupport::runCommand("( " + kProgram + " --service " + svc.url() + " --dump-home >/dev/full )");
    EXPECT_EQ(unwritten.status, 1) << unwritten.output;
    EXPECT_NE(unwritten.output.find("kestrowline: cannot write the home screen"), std::string::npos)
        << unwritten.output;
    fs::remove_all(svc.stateFolder());
}

// A print of the home screen whose home is on a full disk (here one that
// takes no file at all): the settings cannot be kept, which it says in one
// line naming the file and why, and the log once, and it exits 1. Every
// other writer (the statistics store, the vendor identifier, the keychain,
// the pasteboards) says each file it could not write in one line naming it
// once with the reason, and none leaves a file but the locks.
TEST(ProgramEndsTest, APrintOfTheHomeScreenWhoseSettingsCannotBeKeptExits1SayingWhy) {
    const fs::path scratch = fs::path(std::getenv("KL_HOME")) / "full";
    demo::DemoService svc({KL_DEMO_DATA_DIR, (scratch / "state").string(), 0});
    const std::string settings = (scratch / "home/Library/Preferences/gov.velmarsh.kestrowline.plist").string();
    auto r = testsupport::runCommand(testsupport::onADiskOf(
        0, "( KL_HOME=" + (scratch / "home").string() + " KL_DEVICE_HOME=" + (scratch / "device").string() + " exec " +
               kProgram + " --service " + svc.url() + " --dump-home >/dev/null )"));
    EXPECT_EQ(r.status, 1) << r.output;
    const std::string why = settings + ": " + std::strerror(EFBIG) + "\n";
    EXPECT_NE(r.output.find("\nkestrowline: cannot keep its settings: " + why), std::string::npos) << r.output;
    auto count = [&](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = r.output.find(text); at != std::string::npos; at = r.output.find(text, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("UserDefaults: cannot write "), 1u) << r.output;
    EXPECT_EQ(count("UserDefaults: cannot write " + why), 1u) << r.output;
    EXPECT_FALSE(fs::exists(settings));

    const std::pair<std::string, fs::path> writers[] = {
        {"MVOMSAStore", scratch / "home/Documents/.vovuruz_analysis_MVOMSAStore"},
        {"Device", scratch / "device/identifierForVendor"},
        {"Keychain", scratch / "device/Keychain/"},
        {"Pasteboard", scratch / "device/Pasteboards/mervio_register.pasteboard"},
    };
    for (const auto& [writer, file] : writers) {
        SCOPED_TRACE(writer);
        EXPECT_NE(r.output.find(writer + ": cannot write " + file.string()), std::string::npos) << r.output;
    }
    std::istringstream lines(r.output);
    std::set<std::string> said;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.find("NSFilePath"), std::string::npos) << "an error's whole description: " << line;
        const std::size_t at = line.find(": cannot write ");
        if (at == std::string::npos) continue;
        const std::string what = line.substr(line.rfind(' ', at) + 1);
        EXPECT_TRUE(said.insert(what).second) << "said twice: " << line;
        const std::size_t path = line.find(scratch.string());
        EXPECT_EQ(path, line.rfind(scratch.string())) << line;
        EXPECT_NE(line.find(std::string(": ") + std::strerror(EFBIG), path), std::string::npos) << line;
    }
    for (const char* folder : {"home", "device"}) {
        for (const auto& entry : fs::recursive_directory_iterator(scratch / folder)) {
            EXPECT_TRUE(!entry.is_regular_file() || entry.path().string().ends_with(".lock")) << entry.path();
        }
    }
    fs::remove_all(scratch);
}

// A folder the run keeps its data in (the home, the device folder) cannot
// be made or written: a file where it should be, a folder inside a file,
// inside a folder nobody writes into (sysfs; without root, a read-only one
// of the user's too). Whether it prints the home screen or runs headless,
// the program says which folder and why in one line and ends with 1 before
// it starts, though its service answers.
TEST(ProgramEndsTest, ARunWhoseFoldersCannotBeMadeEndsAtOnceSayingWhich) {
    const fs::path scratch = fs::path(std::getenv("KL_HOME")) / "folders";
    fs::create_directories(scratch);
    const fs::path file = scratch / "a-file";
    std::ofstream(file) << "x";
    struct Case {
        std::string variable;  // KL_HOME or KL_DEVICE_HOME
        fs::path folder;
        std::string says;  // after "kestrowline: cannot make its "
    };
    std::vector<Case> cases = {
        {"KL_HOME", file, "home folder " + file.string() + ": Not a directory\n"},
        {"KL_HOME", file / "home", "home folder " + (file / "home").string() + ": Not a directory\n"},
        {"KL_HOME", "/sys/kestrowline-home", "home folder /sys/kestrowline-home: "},
        {"KL_DEVICE_HOME", file / "device", "device folder " + (file / "device").string() + ": Not a directory\n"},
    };
    if (geteuid() != 0) {
        const fs::path readOnly = scratch / "read-only";
        fs::create_directories(readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
        cases.push_back({"KL_HOME", readOnly / "home", "home folder " + (readOnly / "home").string() + ": "});
    }
    demo::DemoService svc({KL_DEMO_DATA_DIR, (scratch / "state").string(), 0});
    for (const Case& c : cases) {
        for (const char* run : {"--dump-home", "--no-window"}) {
            SCOPED_TRACE(c.variable + "=" + c.folder.string() + " " + run);
            testsupport::ChildProcess::Environment environment = {{"KL_HOME", (scratch / "home").string()},
                                                                  {"KL_DEVICE_HOME", (scratch / "device").string()}};
            for (auto& [name, value] : environment)
                if (name == c.variable) value = c.folder.string();
            testsupport::ChildProcess program(kProgram, {"--service", svc.url(), run}, environment);
            ASSERT_TRUE(program.waitForExit(60)) << program.output;
            EXPECT_EQ(program.status, 1) << program.output;
            EXPECT_EQ(program.output.rfind("kestrowline: cannot make its " + c.says, 0), 0u) << program.output;
            EXPECT_EQ(std::count(program.output.begin(), program.output.end(), '\n'), 1) << program.output;
        }
    }
    fs::remove_all(svc.stateFolder());
}

#ifdef KL_PROGRAM_TOURS

// Tours of the demo service as its member, each with a temporary folder of
// its own (TMPDIR), where the tour makes its home.
class TourEndsTest : public testing::Test {
protected:
    void SetUp() override {
        scratch_ = fs::path(std::getenv("KL_HOME")) /
                   (std::string("ends-") + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(scratch_);
        svc_ = std::make_unique<demo::DemoService>(
            demo::DemoService::Options{KL_DEMO_DATA_DIR, (scratch_ / "state").string(), 0});
    }
    void TearDown() override {
        svc_.reset();
        fs::remove_all(scratch_);
    }

    // The temporary folder of the run named so, made empty.
    fs::path temporaryFolder(const std::string& run) {
        fs::path folder = scratch_ / ("tmp-" + std::to_string(runs_++) + "-" + run);
        fs::create_directories(folder);
        return folder;
    }
    std::unique_ptr<testsupport::ChildProcess> tour(const fs::path& temporary,
                                                    testsupport::ChildProcess::Environment more = {}) {
        auto member = svc_->demoMember();
        more.emplace_back("TMPDIR", temporary.string());
        return std::make_unique<testsupport::ChildProcess>(
            kProgram,
            std::vector<std::string>{"--service", svc_->url(), "--stat-report", svc_->statReportURL(), "--tour",
                                     (scratch_ / "pictures").string(), "--tour-login",
                                     member.userName + ":" + member.password},
            more);
    }
    // What a tour left in the folder: its home, or the home on its way out.
    static std::vector<std::string> leftIn(const fs::path& folder) {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename().string());
        return left;
    }

    fs::path scratch_;
    std::unique_ptr<demo::DemoService> svc_;
    int runs_ = 0;
};

// `kestrowline --tour DIR | head -3`, or `| head -8` once the member has
// logged in: the tour's next line finds no reader, so the tour ends there as
// an interruption ends it (after the step under way, exit status 1) instead
// of dying of the closed pipe with its home left behind.
TEST_F(TourEndsTest, OutputNobodyReadsEndsTheTourAndLeavesNoHome) {
    for (const char* lastRead : {"  home: ", "the comments after posting one: "}) {
        SCOPED_TRACE(lastRead);
        fs::path temporary = temporaryFolder("cut");
        auto program = tour(temporary);
        ASSERT_TRUE(program->waitForOutput(lastRead)) << program->output;
        program->closeOutput();
        ASSERT_TRUE(program->waitForExit(120));
        EXPECT_EQ(program->status, 1);
        EXPECT_EQ(leftIn(temporary), std::vector<std::string>{});
    }
}

// A closed terminal (SIGHUP) ends the tour as Ctrl+C does.
TEST_F(TourEndsTest, AClosedTerminalEndsTheTourAfterTheStepAndLeavesNoHome) {
    fs::path temporary = temporaryFolder("hangup");
    auto program = tour(temporary);
    ASSERT_TRUE(program->waitForOutput("the login: ")) << program->output;
    program->signal(SIGHUP);
    ASSERT_TRUE(program->waitForExit(120)) << program->output;
    EXPECT_EQ(program->status, 1) << program->output;
    EXPECT_NE(program->output.find("; interrupted\n"), std::string::npos) << program->output;
    EXPECT_EQ(leftIn(temporary), std::vector<std::string>{}) << program->output;
}

// The temporary files of writes cut short in the folder and below it, by
// name, that were last changed at least a minute ago.
std::vector<std::string> oldTemporariesIn(const fs::path& folder) {
    std::vector<std::string> old;
    const auto minuteAgo = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp-") != std::string::npos && entry.last_write_time() <= minuteAgo)
            old.push_back(entry.path().filename().string());
    return old;
}

// Ctrl+C on a script that passes SIGTERM on as it exits: the second signal
// ends the program at once, whatever step the tour is in and whatever is
// still being written (pictures in the cache, the login in the defaults,
// the statistics in their store, an item in the device's keychain), and its
// home is gone all the same. What such an end cut short in the device
// folder, which other programs share, goes at a later start, once it is old
// enough to be nobody's write under way.
TEST_F(TourEndsTest, TwoSignalsInARowEndTheProgramAtOnceAndLeaveNoHome) {
    const fs::path device = std::getenv("KL_DEVICE_HOME");
    const fs::path keychain = device / "Keychain";
    const fs::path young = keychain / "2c3d.item.tmp-Ef34Gh";  // another program's, being written
    fs::create_directories(keychain);
    std::ofstream(young) << "half";
    for (const char* step : {"  home: ", "the news list: ", "the login: ", "the comments after posting one: ",
                             "the direct line's petitions: ", "the sign-in calendar: "}) {
        SCOPED_TRACE(step);
        const fs::path old = keychain / "0a1b.item.tmp-Ab12Cd";  // an earlier run's, cut short
        std::ofstream(old) << "half";
        fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::minutes(2));
        fs::last_write_time(young, fs::file_time_type::clock::now());
        fs::path temporary = temporaryFolder("twice");
        auto program = tour(temporary);
        ASSERT_TRUE(program->waitForOutput(step)) << program->output;
        program->signal(SIGINT);
        program->signal(SIGTERM);
        ASSERT_TRUE(program->waitForExit(60)) << program->output;
        EXPECT_EQ(program->status, 128 + SIGTERM) << program->output;
        EXPECT_NE(program->output.find("interrupted again, ending at once"), std::string::npos) << program->output;
        EXPECT_EQ(leftIn(temporary), std::vector<std::string>{}) << program->output;
        EXPECT_EQ(oldTemporariesIn(device), std::vector<std::string>{});
        EXPECT_TRUE(fs::exists(young));
    }
}

// One SIGTERM as the next step's pictures load (the news list's, an
// article's, the representatives'): the tour ends after that step, and no
// picture arriving at the end lands in a home made again.
TEST_F(TourEndsTest, OneSignalWhilePicturesLoadLeavesNoHome) {
    for (const char* step : {"the current-affairs module, its menu open: ", "the news list: ", "the Mervio page: "}) {
        SCOPED_TRACE(step);
        fs::path temporary = temporaryFolder("once");
        auto program = tour(temporary);
        ASSERT_TRUE(program->waitForOutput(step)) << program->output;
        program->signal(SIGTERM);
        ASSERT_TRUE(program->waitForExit(120)) << program->output;
        EXPECT_EQ(program->status, 1) << program->output;
        EXPECT_NE(program->output.find("; interrupted\n"), std::string::npos) << program->output;
        EXPECT_EQ(leftIn(temporary), std::vector<std::string>{}) << program->output;
    }
}

// A signal as the process exits, once the tour's home is gone and the
// program's static objects with it (Ctrl+C pressed again at that moment):
// it ends the process as it does by default, without touching what is gone.
TEST_F(TourEndsTest, ASignalAsTheProgramExitsEndsItAndTouchesNothingThatIsGone) {
    fs::path temporary = temporaryFolder("exiting");
    // The sanitizers' runtime would rather be first; the probe has none of its own.
    const char* asan = std::getenv("ASAN_OPTIONS");
    auto program = tour(temporary, {{"LD_PRELOAD", KL_EXIT_SIGNAL_PROBE},
                                    {"KL_EXIT_SIGNAL_PROBE", std::to_string(SIGINT)},
                                    {"ASAN_OPTIONS", (asan && *asan ? std::string(asan) + ":" : std::string()) +
                                                         "verify_asan_link_order=0"}});
    ASSERT_TRUE(program->waitForOutput("  home: ")) << program->output;
    program->signal(SIGTERM);
    ASSERT_TRUE(program->waitForExit(120)) << program->output;
    EXPECT_EQ(program->status, 128 + SIGINT) << program->output;
    EXPECT_NE(program->output.find("; interrupted\n"), std::string::npos) << program->output;
    EXPECT_EQ(program->output.find("interrupted again"), std::string::npos) << program->output;
    EXPECT_EQ(leftIn(temporary), std::vector<std::string>{}) << program->output;
}

#endif

}  // namespace
