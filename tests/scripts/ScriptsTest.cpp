// The scripts a person runs, and the README's commands, with this build's
// programs. Each script runs from a copy of the source tree's top folder that
// holds only the files it needs, so that whatever it makes (build/tour, its
// log) lands in the test's home; the programs are this build's
// ($KL_PROGRAMS_DIR), nothing is installed or built, and a script that went
// further than it should would find nothing to install or build there.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "net/Http.h"
#include "soapserver/SoapServer.h"
#include "support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

// The files of the source tree that each script needs.
const std::vector<const char*> kRunFiles = {"scripts/run.sh", "scripts/demo-service.sh", "scripts/steps.sh"};
const std::vector<const char*> kHostileFiles = {"scripts/hostile-tour.sh", "scripts/demo-service.sh",
                                                "scripts/steps.sh"};
const std::vector<const char*> kFuzzFiles = {"scripts/fuzz.sh", "fuzz/CMakeLists.txt", "scripts/steps.sh"};
const std::vector<const char*> kTestFiles = {"scripts/test.sh", "scripts/steps.sh"};

// A fresh folder standing for the source tree: copies of the files named
// (relative to the top), and an empty tmp/ for the scripts' temporary files.
fs::path sourceCopy(const std::string& name, const std::vector<const char*>& files) {
    const fs::path top = fs::path(std::getenv("KL_HOME")) / name;
    fs::remove_all(top);
    for (const char* file : files) {
        fs::create_directories((top / file).parent_path());
        fs::copy_file(fs::path(KL_SOURCE_DIR) / file, top / file);
    }
    fs::create_directories(top / "tmp");
    return top;
}

// The environment a script runs in from the copy: this build's programs
// (unless `more` names others), its temporary files in the copy's tmp/.
testsupport::ChildProcess::Environment scriptEnvironment(const fs::path& top,
                                                         testsupport::ChildProcess::Environment more = {}) {
    if (std::none_of(more.begin(), more.end(), [](const auto& v) { return v.first == "KL_PROGRAMS_DIR"; }))
        more.emplace_back("KL_PROGRAMS_DIR", KL_PROGRAMS_DIR);
    more.emplace_back("TMPDIR", (top / "tmp").string());
    return more;
}

// A script's call: the script in the copy, then its arguments.
std::vector<std::string> scriptCall(const fs::path& top, const char* script, const std::vector<std::string>& arguments) {
    std::vector<std::string> call{(top / script).string()};
    call.insert(call.end(), arguments.begin(), arguments.end());
    return call;
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
    return names;
}

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The endpoint the demo service printed in a script's output ("" if none).
std::string endpointIn(const std::string& output) {
    const std::size_t at = output.find("endpoint:");
    if (at == std::string::npos) return "";
    std::istringstream line(output.substr(at + 9));
    std::string endpoint;
    line >> endpoint;
    return endpoint;
}

// Whether nobody listens at the URL any more.
bool refused(const std::string& url) {
    net::Request request;
    request.url = url;
    return net::perform(request).error == net::ErrorKind::ConnectionFailure;
}

// Sends the signal as a terminal sends Ctrl+C, to the process's whole
// group (which it leads), or as `kill` does, to the process alone.
bool sendSignal(testsupport::ChildProcess& process, int sig, bool wholeGroup) {
    return kill(wholeGroup ? -process.pid() : process.pid(), sig) == 0;
}

// Stand-ins for the fuzz targets json and user_defaults (the libFuzzer
// programs the debug build has not), in programs/ of the copy, their seeds'
// folders made: each makes its home as the targets do, says on descriptor 3
// that it runs, and ends on a signal as libFuzzer does (exit 72) or, when
// `bySignal`, as the targets' own handler does (by the signal).
fs::path standInFuzzTargets(const fs::path& top, bool bySignal) {
    const fs::path programs = top / "programs";
    fs::create_directories(programs);
    const std::string ending = bySignal ? "trap - \"$1\"; kill -\"$1\" $$" : "exit 72";
    for (const std::string name : {"json", "user_defaults"}) {
        fs::create_directories(top / "fuzz/corpus" / name);
        std::ofstream(programs / ("fuzz-" + name)) << R"(#!/bin/bash
home=$(mktemp -d "$TMPDIR/kl-fuzz-XXXXXX")
echo "#2 INITED cov: 7 ft: 9 corp: 1/1b exec/s: 0 rss: 30Mb"
sleep 300 &
end() {
  [ -d "$home" ] || echo "fuzz-)" + name + R"( lost its home while running" >&3
  echo "==$$== libFuzzer: run interrupted; exiting"; kill $!; )" + ending + R"(
}
for sig in INT TERM HUP; do trap "end $sig" $sig; done
echo "fuzz-)" + name + R"( runs in $home" >&3
wait
)";
        fs::permissions(programs / ("fuzz-" + name), fs::perms::owner_all);
    }
    return programs;
}

// A script still running when the test ends (a failed assertion) gets a
// SIGTERM and its end is awaited, so that it stops what it started.
struct EndsScript {
    testsupport::ChildProcess& script;
    ~EndsScript() {
        if (script.status < 0) {
            script.signal(SIGTERM);
            script.waitForExit(60);
        }
    }
};

// ---- run.sh ----

// A bad option is found by the program before anything starts: the usage
// error and status 2, no demo service, no tour folder or log written; also
// one that does not go with the tour the script runs without a display, and
// one at the end without its value (which the script's own check must not
// give one). Asked for, the usage is shown the same way.
TEST(RunScript, ABadOptionIsAUsageErrorBeforeAnythingStarts) {
    const std::map<std::vector<std::string>, std::string> wrong = {
        {{"--bogus"}, "kestrowline: unknown option --bogus"},
        {{"--wait", "soon"}, "kestrowline: --wait takes a number of seconds"},
        {{"--service", "ftp://127.0.0.1/"}, "kestrowline: "},
        {{"--wait", "3"}, "kestrowline: --wait goes with --dump-home"},
        {{"--tour", "pictures", "--dump-home"}, "kestrowline: --dump-home and --tour do not go together"},
        {{"--tour"}, "kestrowline: --tour needs a value"},
        {{"--dump-home", "--wait"}, "kestrowline: --wait needs a value"},
        {{"--tour-login"}, "kestrowline: --tour-login needs a value"},
        {{"--service"}, "kestrowline: --service needs a value"},
        {{"--stat-report"}, "kestrowline: --stat-report needs a value"},
        {{"--tour", "pictures", "--service-namespace"}, "kestrowline: --service-namespace needs a value"},
    };
    for (const auto& [arguments, message] : wrong) {
        SCOPED_TRACE(arguments.front());
        const fs::path top = sourceCopy("run-usage", kRunFiles);
        std::vector<std::string> call{(top / "scripts/run.sh").string()};
        call.insert(call.end(), arguments.begin(), arguments.end());
        testsupport::ChildProcess run("/bin/bash", call, scriptEnvironment(top));
        ASSERT_TRUE(run.waitForExit(120)) << run.output;
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("usage: kestrowline"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("demo service"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("touring"), std::string::npos) << run.output;
        std::vector<std::string> made = filesIn(top);  // no build/, no folder named --help
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, (std::vector<std::string>{"scripts", "tmp"})) << run.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
    }

    const fs::path top = sourceCopy("run-help", kRunFiles);
    testsupport::ChildProcess help("/bin/bash", {(top / "scripts/run.sh").string(), "--help"}, scriptEnvironment(top));
    ASSERT_TRUE(help.waitForExit(120)) << help.output;
    EXPECT_EQ(help.status, 0) << help.output;
    EXPECT_EQ(help.output.rfind("usage: kestrowline", 0), 0u) << help.output;
    EXPECT_FALSE(fs::exists(top / "build")) << help.output;
}

// Ctrl+C on the terminal (SIGINT to the script's whole process group, as the
// terminal sends it) or a SIGTERM or SIGHUP to the script alone, in the
// middle of a tour: the program gets one signal, not a second that would end
// it at once, and ends after the step under way; then the demo service stops
// and the script's own temporary files go. The script ends with 128 + the
// signal. Its output closes only once the program and the service, which
// write to it too, have ended. So it is after a SIGKILL, which the script
// cannot catch: the demo service ends by itself, its fresh state with it,
// and the program gets its one signal all the same.
TEST(RunScript, CtrlCOrASignalToTheScriptReachesTheProgramOnce) {
    struct Case {
        int sig;
        bool wholeGroup;
    };
    for (const Case& c : {Case{SIGINT, true}, Case{SIGTERM, false}, Case{SIGHUP, false}, Case{SIGKILL, false}}) {
        SCOPED_TRACE(strsignal(c.sig));
        const fs::path top = sourceCopy("run-signal", kRunFiles);
        // In a session and process group of its own, as a terminal's foreground job.
        testsupport::ChildProcess run("/usr/bin/setsid", {"/bin/bash", (top / "scripts/run.sh").string()},
                                      scriptEnvironment(top));
        EndsScript ends{run};
        ASSERT_TRUE(run.waitForOutput("Tour of the screens")) << run.output;
        const std::string endpoint = endpointIn(run.output);
        ASSERT_NE(endpoint, "") << run.output;

        ASSERT_TRUE(sendSignal(run, c.sig, c.wholeGroup));
        ASSERT_TRUE(run.waitForExit(120)) << run.output;
        EXPECT_EQ(run.status, 128 + c.sig) << run.output;
        EXPECT_NE(run.output.find("; interrupted\n"), std::string::npos) << run.output;
        const std::string log = contentsOf(top / "build/tour/kestrowline.log");
        EXPECT_EQ(log.find("interrupted again"), std::string::npos) << log;

        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
        EXPECT_TRUE(refused(endpoint)) << endpoint;
    }
}

// --dump-home asks for the home screen as text, which needs no display: the
// script shows it against the demo service from a fresh state, with a
// display or without, and keeps nothing (no tour, no state).
TEST(RunScript, TheHomeScreenAsTextNeedsNoDisplay) {
    const std::vector<testsupport::ChildProcess::Environment> environments = {
        {}, {{"DISPLAY", ":999"}, {"SDL_VIDEODRIVER", "kl-none"}}};
    for (const auto& environment : environments) {
        SCOPED_TRACE(environment.empty() ? "no display" : "a display");
        const fs::path top = sourceCopy("run-dump", kRunFiles);
        testsupport::ChildProcess run("/bin/bash", scriptCall(top, "scripts/run.sh", {"--dump-home"}),
                                      scriptEnvironment(top, environment));
        EndsScript ends{run};
        ASSERT_TRUE(run.waitForExit(120)) << run.output;
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("\nui::Window ("), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("touring"), std::string::npos) << run.output;
        EXPECT_FALSE(fs::exists(top / "build")) << run.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
    }
}

// Programs that are not there, or a tour's folder that cannot be made or
// written (named by $KL_TOUR_DIR or --tour), fail with one line saying so
// before the demo service starts or anything is written.
TEST(RunScript, NoProgramsOrAnUnwritableTourFolderFailBeforeAnythingStarts) {
    struct Case {
        const char* name;
        testsupport::ChildProcess::Environment environment;
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const fs::path top = sourceCopy("run-unfit", kRunFiles);
    const fs::path file = top / "a-file";
    std::ofstream(file) << "not a folder";
    const std::vector<Case> cases = {
        {"no programs", {{"KL_PROGRAMS_DIR", "/nonexistent"}}, {}, 2,
         "run.sh: no program kestrowline in /nonexistent ($KL_PROGRAMS_DIR)"},
        {"KL_TOUR_DIR", {{"KL_TOUR_DIR", (file / "tour").string()}}, {}, 1,
         "run.sh: the tour's folder " + (file / "tour").string() + " cannot be made or written"},
        {"--tour", {}, {"--tour", (file / "tour").string()}, 1,
         "run.sh: the tour's folder " + (file / "tour").string() + " cannot be made or written"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ChildProcess run("/bin/bash", scriptCall(top, "scripts/run.sh", c.arguments),
                                      scriptEnvironment(top, c.environment));
        ASSERT_TRUE(run.waitForExit(120)) << run.output;
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_EQ(run.output, c.message + "\n");
        EXPECT_FALSE(fs::exists(top / "build")) << run.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
    }
}

// A demo service that cannot start (here a stand-in that cannot write its
// information file, as on a full disk) fails the run with its own reason
// and the script's, exit 1, before the program starts; nothing is left.
TEST(RunScript, ADemoServiceThatCannotStartFailsTheRunWithItsReason) {
    const fs::path top = sourceCopy("run-no-service", kRunFiles);
    const fs::path programs = top / "programs";
    fs::create_directories(programs);
    fs::create_symlink(fs::path(KL_PROGRAMS_DIR) / "kestrowline", programs / "kestrowline");
    std::ofstream(programs / "kl-demo-service")
        << "#!/bin/bash\necho \"kl-demo-service: cannot write its information file: No space left on device\" >&2\n"
           "exit 1\n";
    fs::permissions(programs / "kl-demo-service", fs::perms::owner_all);
    testsupport::ChildProcess run("/bin/bash", {(top / "scripts/run.sh").string()},
                                  scriptEnvironment(top, {{"KL_PROGRAMS_DIR", programs.string()}}));
    EndsScript ends{run};
    ASSERT_TRUE(run.waitForExit(120)) << run.output;
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("No space left on device\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("run.sh: the demo service did not start (exit status 1)\n"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Tour of the screens"), std::string::npos) << run.output;
    EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
}

// A tour into the folder the options name (--tour DIR) has its pictures and
// its log counted and kept there, not in the script's own folder; also one
// that an interruption ends after its first picture.
TEST(RunScript, ATourIntoTheFolderAskedForIsReportedThere) {
    const fs::path top = sourceCopy("run-tour-dir", kRunFiles);
    const fs::path folder = top / "my pictures";
    testsupport::ChildProcess run("/bin/bash", scriptCall(top, "scripts/run.sh", {"--tour", folder.string()}),
                                  scriptEnvironment(top));
    EndsScript ends{run};
    ASSERT_TRUE(run.waitForOutput("01-home.png")) << run.output;
    run.signal(SIGTERM);
    ASSERT_TRUE(run.waitForExit(120)) << run.output;
    EXPECT_EQ(run.status, 143) << run.output;
    EXPECT_NE(run.output.find("run.sh: the screens' pictures are in " + folder.string() + "\n"), std::string::npos)
        << run.output;
    EXPECT_NE(contentsOf(folder / "kestrowline.log"), "");
    EXPECT_FALSE(fs::exists(top / "build")) << run.output;
    EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
}

// A tour that wrote no picture says so, though an earlier tour's pictures
// are still in the folder: only pictures newer than this run count.
TEST(RunScript, ATourThatWritesNoPictureSaysSoBesideAnEarlierTours) {
    const fs::path top = sourceCopy("run-no-pictures", kRunFiles);
    const fs::path programs = top / "programs", folder = top / "pictures";
    fs::create_directories(programs);
    fs::create_directories(folder);
    std::ofstream(folder / "01-home.png") << "an earlier tour's";
    fs::last_write_time(folder / "01-home.png", fs::file_time_type::clock::now() - std::chrono::hours(1));
    // The program's stand-in takes the options' check, then fails its tour.
    std::ofstream(programs / "kestrowline") << "#!/bin/bash\n[ \"${*: -1}\" = --help ] && exit 0\n"
                                               "echo 'kestrowline: the service did not answer' >&2\nexit 1\n";
    fs::permissions(programs / "kestrowline", fs::perms::owner_all);
    testsupport::ChildProcess run(
        "/bin/bash", scriptCall(top, "scripts/run.sh", {"--tour", folder.string(), "--service", "http://127.0.0.1:9"}),
        scriptEnvironment(top, {{"KL_PROGRAMS_DIR", programs.string()}}));
    EndsScript ends{run};
    ASSERT_TRUE(run.waitForExit(120)) << run.output;
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("run.sh: the tour wrote no pictures (exit status 1)\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("pictures are in"), std::string::npos) << run.output;
    EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
}

// Output that nobody reads (`scripts/run.sh | head -3` once three lines have
// come) ends the run at the script's first line, saying why, before the demo
// service starts: not a demo service that "did not start".
TEST(RunScript, OutputThatNobodyReadsEndsTheRunSayingWhy) {
    const fs::path top = sourceCopy("run-closed", kRunFiles);
    // The standard output a pipe whose reader has come and gone, standard
    // error the test's.
    const std::string commands = "cd '" + top.string() +
                                 "'\nmkfifo out\n{ exec 3<out; } &\nexec >out\nwait\nrm out\nexec scripts/run.sh\n";
    testsupport::ChildProcess run("/bin/bash", {"-c", commands}, scriptEnvironment(top));
    EndsScript ends{run};
    ASSERT_TRUE(run.waitForExit(120)) << run.output;
    EXPECT_EQ(run.status, 141) << run.output;
    EXPECT_EQ(run.output, "run.sh: nobody reads its output any more; ending\n");
    EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
}

// With a display the program is started in its window; one that fails (here
// a window driver that is none) is reported as failed with its status, not
// as a program in its window, and the demo service stops.
TEST(RunScript, AProgramWhoseWindowCannotOpenIsReportedAsFailed) {
    const fs::path top = sourceCopy("run-window", kRunFiles);
    testsupport::ChildProcess run("/bin/bash", {(top / "scripts/run.sh").string()},
                                  scriptEnvironment(top, {{"DISPLAY", ":999"}, {"SDL_VIDEODRIVER", "kl-none"}}));
    EndsScript ends{run};
    ASSERT_TRUE(run.waitForExit(120)) << run.output;
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(run.output.find("is in its window"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("run.sh: the program failed (exit status 1)\n"), std::string::npos) << run.output;
    EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
}

// The process a script names as the demo service's parent must be its
// parent: a number that is none is a usage error, another process (or a
// parent already gone) a failure, before any folder is made.
TEST(DemoServiceParent, AParentThatIsNoneOrNotItsOwnIsRefused) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"abc", 2}, {"0", 2}, {"-5", 2}, {"99999999999", 2}, {std::to_string(getppid()), 1}};
    for (const auto& [parent, status] : cases) {
        SCOPED_TRACE(parent);
        const fs::path top = sourceCopy("service-parent", {});
        testsupport::ChildProcess service(std::string(KL_PROGRAMS_DIR) + "/kl-demo-service",
                                          {"--info-file", (top / "info").string(), "--parent", parent},
                                          {{"TMPDIR", (top / "tmp").string()}});
        EndsScript ends{service};
        ASSERT_TRUE(service.waitForExit(60)) << service.output;
        EXPECT_EQ(service.status, status) << service.output;
        EXPECT_NE(service.output.find(status == 2 ? "usage: kl-demo-service" : "(--parent)"), std::string::npos)
            << service.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(top / "info"));
    }
}

// ---- test.sh ----

// It takes no arguments: one is a usage error, before anything is installed,
// built or run.
TEST(TestScript, AnArgumentIsAUsageErrorAndRunsNothing) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--help"}, {"-R", "Scripts"}}) {
        SCOPED_TRACE(arguments.front());
        const fs::path top = sourceCopy("test-usage", {"scripts/test.sh"});
        testsupport::ChildProcess test("/bin/bash", scriptCall(top, "scripts/test.sh", arguments),
                                       scriptEnvironment(top));
        ASSERT_TRUE(test.waitForExit(60)) << test.output;
        EXPECT_EQ(test.status, 2) << test.output;
        EXPECT_NE(test.output.find("test.sh: takes no arguments, not " + arguments.front()), std::string::npos)
            << test.output;
        EXPECT_NE(test.output.find("usage: scripts/test.sh"), std::string::npos) << test.output;
        EXPECT_FALSE(fs::exists(top / "build")) << test.output;
    }
}

// ---- hostile-tour.sh ----

// A person's pictures in the tour's folder stay as they were, one named as
// the tour names its own among them; the pictures of an earlier tour are
// replaced.
TEST(HostileTourScript, LeavesAPersonsPicturesAndReplacesTheTourOwn) {
    if (!fs::exists("/usr/bin/time")) GTEST_SKIP() << "no GNU time (scripts/install-deps.sh installs it)";
    const fs::path top = sourceCopy("hostile", kHostileFiles);
    const fs::path folder = top / "build/hostile-tour";
    fs::create_directories(folder);
    const std::map<std::string, std::string> own = {
        {"holiday.png", "a holiday"}, {"scan 2.png", "a scan"}, {"01-family.png", "the family"}};
    for (const auto& [name, bytes] : own) std::ofstream(folder / name, std::ios::binary) << bytes;
    for (const char* earlier : {"01-home.png", "16-representative.png"})
        std::ofstream(folder / earlier, std::ios::binary) << "an earlier tour's";

    // A sanitizer build holds far more than the release build the bound is for.
    testsupport::ChildProcess script("/bin/bash", {(top / "scripts/hostile-tour.sh").string()},
                                     scriptEnvironment(top, {{"KL_HOSTILE_PEAK_KB", "8000000"}}));
    EndsScript ends{script};
    ASSERT_TRUE(script.waitForExit(280)) << script.output;
    EXPECT_EQ(script.status, 0) << script.output << contentsOf(folder / "kestrowline.log");
    for (const auto& [name, bytes] : own) EXPECT_EQ(contentsOf(folder / name), bytes) << name;
    for (const char* picture : {"01-home.png", "16-representative.png"})
        EXPECT_EQ(contentsOf(folder / picture).substr(0, 4), "\x89PNG") << picture;
    EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
}

// Ctrl+C on the terminal (SIGINT to the script's process group), or a
// SIGTERM to the script's own process, in the middle of the tour: the tour
// ends after the step under way, as the program alone does, and the script
// with 128 + the signal, not as a failed tour; the demo service stops and
// the script's temporary files go.
TEST(HostileTourScript, CtrlCOrASignalEndsTheTourAsTheSignalDoes) {
    if (!fs::exists("/usr/bin/time")) GTEST_SKIP() << "no GNU time (scripts/install-deps.sh installs it)";
    struct Case {
        int sig;
        bool wholeGroup;
    };
    for (const Case& c : {Case{SIGINT, true}, Case{SIGTERM, false}}) {
        SCOPED_TRACE(strsignal(c.sig));
        const fs::path top = sourceCopy("hostile-signal", kHostileFiles);
        testsupport::ChildProcess script("/usr/bin/setsid",
                                         {"/bin/bash", (top / "scripts/hostile-tour.sh").string()},
                                         scriptEnvironment(top, {{"KL_HOSTILE_PEAK_KB", "8000000"}}));
        EndsScript ends{script};
        ASSERT_TRUE(script.waitForOutput("01-home.png")) << script.output;
        ASSERT_TRUE(sendSignal(script, c.sig, c.wholeGroup));
        ASSERT_TRUE(script.waitForExit(120)) << script.output;
        EXPECT_EQ(script.status, 128 + c.sig) << script.output;
        EXPECT_NE(script.output.find("; interrupted\n"), std::string::npos) << script.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
    }
}

// A memory bound that is no whole number of kB, or beyond what the script
// compares, and any argument are usage errors, before anything is installed,
// built or run (no programs are given: a script that went on would fail at
// its build).
TEST(HostileTourScript, ABadBoundOrAnArgumentIsAUsageErrorAndRunsNothing) {
    struct Case {
        std::string bound;
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"abc", {}, "KL_HOSTILE_PEAK_KB takes a whole number of kB"},
        {"99999999999999999999", {}, "KL_HOSTILE_PEAK_KB takes a whole number of kB"},
        {"0", {}, "KL_HOSTILE_PEAK_KB takes a whole number of kB"},
        {"-5", {}, "KL_HOSTILE_PEAK_KB takes a whole number of kB"},
        {"100000", {"--bogus"}, "takes no arguments, not --bogus"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bound + (c.arguments.empty() ? "" : " " + c.arguments.front()));
        const fs::path top = sourceCopy("hostile-usage", kHostileFiles);
        testsupport::ChildProcess script("/bin/bash", scriptCall(top, "scripts/hostile-tour.sh", c.arguments),
                                         {{"KL_HOSTILE_PEAK_KB", c.bound}, {"TMPDIR", (top / "tmp").string()}});
        ASSERT_TRUE(script.waitForExit(60)) << script.output;
        EXPECT_EQ(script.status, 2) << script.output;
        EXPECT_NE(script.output.find("hostile-tour.sh: " + c.message), std::string::npos) << script.output;
        EXPECT_NE(script.output.find("usage: "), std::string::npos) << script.output;
        EXPECT_FALSE(fs::exists(top / "build")) << script.output;
    }
}

// ---- install-deps.sh ----

// Another package operation holding apt's lock (the package lists' for the
// update, dpkg's for the installation): each waits for it, saying so once,
// and goes on when it is free; still held after 5 minutes, it fails naming
// the lock and installs nothing. Another failure fails at once. apt-get,
// dpkg-query, sudo and the clock are stand-ins on PATH: apt-get fails on
// the lock as often as its file says ("broken": fails otherwise), the clock
// goes 100 s forward at each reading and a pause takes none.
TEST(InstallDepsScript, AnotherPackageOperationsLockIsWaitedForUpToFiveMinutes) {
    struct Case {
        const char* name;
        std::string update, install;  // the stand-in's files
        int status;
        bool waits, timesOut;
        std::string calls;  // apt-get's commands, one letter each
    };
    const std::vector<Case> cases = {
        {"the lists' lock for two tries", "2", "0", 0, true, false, "uuui"},
        {"dpkg's lock for two tries", "0", "2", 0, true, false, "uiii"},
        {"the lock beyond 5 minutes", "99", "0", 100, true, true, "uuu"},
        {"another failure", "broken", "0", 100, false, false, "u"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path top = sourceCopy("install-deps", {"scripts/install-deps.sh"});
        const fs::path bin = top / "bin";
        fs::create_directories(bin);
        std::ofstream(top / "update") << c.update;
        std::ofstream(top / "install") << c.install;
        const std::string dir = top.string();
        const std::map<std::string, std::string> standIns = {
            {"apt-get", "#!/bin/bash\nd='" + dir + R"SH('
printf '%s' "${1:0:1}" >>"$d/calls"
left=$(cat "$d/$1")
if [ "$left" = broken ]; then echo "E: The repository 'http://deb.invalid stable Release' does not have a Release file." >&2; exit 100; fi
[ "$left" -gt 0 ] || { echo "apt-get $1 done"; exit 0; }
echo $((left - 1)) >"$d/$1"
if [ "$1" = update ]; then
  echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)" >&2
  echo "E: Unable to lock directory /var/lib/apt/lists/" >&2
else
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)" >&2
  echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2
fi
exit 100
)SH"},
            {"dpkg-query", "#!/bin/bash\nexit 1\n"},
            {"sudo", "#!/bin/bash\nexec \"$@\"\n"},
            {"date", "#!/bin/bash\nn=$(cat '" + dir + "/clock' 2>/dev/null || echo 0)\necho $((n + 100)) >'" + dir +
                         "/clock'\necho $((1000000 + n))\n"},
            {"sleep", "#!/bin/bash\n"},
        };
        for (const auto& [name, text] : standIns) {
            std::ofstream(bin / name) << text;
            fs::permissions(bin / name, fs::perms::owner_all);
        }
        testsupport::ChildProcess deps("/bin/bash", {(top / "scripts/install-deps.sh").string()},
                                       {{"PATH", bin.string() + ":" + std::getenv("PATH")}});
        ASSERT_TRUE(deps.waitForExit(60)) << deps.output;
        EXPECT_EQ(deps.status, c.status) << deps.output;
        EXPECT_EQ(contentsOf(top / "calls"), c.calls) << deps.output;
        const std::size_t waiting = deps.output.find("waiting for it");
        EXPECT_EQ(waiting != std::string::npos, c.waits) << deps.output;
        if (waiting != std::string::npos) {
            EXPECT_EQ(deps.output.find("waiting for it", waiting + 1), std::string::npos) << deps.output;
        }
        EXPECT_EQ(deps.output.find("still held after 5 minutes") != std::string::npos, c.timesOut) << deps.output;
        if (c.status == 0) {
            EXPECT_NE(deps.output.find("apt-get install done"), std::string::npos) << deps.output;
        }
    }
}

// ---- fuzz.sh ----

// A job count that is none, or a duration under a second (which libFuzzer
// would take as no limit), beyond its counter or no whole number (a first
// argument that looks like a number is no target's name), is a usage error,
// before anything is installed, built or run; so is the usage asked for.
TEST(FuzzScript, ABadJobCountOrDurationIsAUsageErrorAndRunsNothing) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"-j", "0", "2", "json"}, "-j "},
        {{"-j", "abc", "json"}, "-j "},
        {{"-j"}, "-j "},
        {{"-j", "-2", "json"}, "-j "},
        {{"-j", "", "json"}, "-j "},
        {{"0", "json"}, "SECONDS takes a whole number from 1"},
        {{"-j", "2", "000"}, "SECONDS takes a whole number from 1"},
        {{"9999999999", "json"}, "SECONDS takes a whole number from 1"},
        {{"0.5", "json"}, "SECONDS takes a whole number from 1"},
        {{"-1", "json"}, "SECONDS takes a whole number from 1"},
        {{"1e3"}, "SECONDS takes a whole number from 1"},
        {{"-j", "2", "0x10", "json"}, "SECONDS takes a whole number from 1"},
    };
    for (const auto& [arguments, message] : wrong) {
        const fs::path top = sourceCopy("fuzz", kFuzzFiles);
        std::string trace;
        for (const auto& a : arguments) trace += a + " ";
        SCOPED_TRACE(trace);
        testsupport::ChildProcess fuzz("/bin/bash", scriptCall(top, "scripts/fuzz.sh", arguments),
                                       scriptEnvironment(top));
        ASSERT_TRUE(fuzz.waitForExit(60)) << fuzz.output;
        EXPECT_EQ(fuzz.status, 2) << fuzz.output;
        EXPECT_NE(fuzz.output.find("fuzz.sh: " + message), std::string::npos) << fuzz.output;
        EXPECT_NE(fuzz.output.find("usage: scripts/fuzz.sh"), std::string::npos) << fuzz.output;
        EXPECT_FALSE(fs::exists(top / "build")) << fuzz.output;
    }
    // Asked for, the usage is the answer, and nothing else is done.
    for (const char* ask : {"-h", "--help"}) {
        const fs::path top = sourceCopy("fuzz", kFuzzFiles);
        testsupport::ChildProcess fuzz("/bin/bash", scriptCall(top, "scripts/fuzz.sh", {ask}), scriptEnvironment(top));
        ASSERT_TRUE(fuzz.waitForExit(60)) << fuzz.output;
        EXPECT_EQ(fuzz.status, 0) << fuzz.output;
        EXPECT_EQ(fuzz.output.rfind("usage: scripts/fuzz.sh", 0), 0u) << fuzz.output;
        EXPECT_FALSE(fs::exists(top / "build")) << fuzz.output;
    }
}

// Ctrl+C on the terminal (SIGINT to the script's whole process group), or a
// SIGTERM or SIGHUP to the script alone, while targets run: each target is
// ended and reported as interrupted, not as a finding, in the output and in
// its result; its temporary home goes, though the target, as libFuzzer ends
// one by itself, leaves it; the script ends with 128 + the signal. The
// targets here are stand-ins for the libFuzzer programs the debug build has
// not: they make their homes as the targets do and end as libFuzzer does
// (exit 72) or as the targets' own handler does (by the signal). Two at a
// time ended by the signal is what once left the script waiting for a target
// it had already lost: each such case runs a few times.
TEST(FuzzScript, CtrlCOrASignalReportsTheTargetsInterruptedAndRemovesTheirHomes) {
    struct Case {
        int sig;
        bool wholeGroup;
        int jobs;
        bool endsBySignal;
    };
    const std::vector<Case> cases = {
        {SIGINT, true, 1, false}, {SIGTERM, false, 1, false}, {SIGINT, true, 2, true},
        {SIGTERM, false, 2, true}, {SIGHUP, false, 2, true},  {SIGTERM, false, 1, true},
    };
    const std::vector<std::string> targets = {"json", "user_defaults"};
    for (const Case& c : cases) {
        for (int attempt = 0; attempt < (c.jobs > 1 ? 8 : 1); ++attempt) {
            SCOPED_TRACE(std::string(strsignal(c.sig)) + ", " + std::to_string(c.jobs) + " at a time, " +
                         (c.endsBySignal ? "ended by it" : "exit 72") + ", attempt " + std::to_string(attempt));
            const fs::path top = sourceCopy("fuzz-signal", kFuzzFiles);
            const fs::path programs = standInFuzzTargets(top, c.endsBySignal);

            // In a session and process group of its own, as a terminal's
            // foreground job; the stand-ins say on descriptor 3 that they run.
            testsupport::ChildProcess fuzz(
                "/usr/bin/setsid",
                {"/bin/bash", "-c",
                 "exec 3>&1; exec /bin/bash '" + (top / "scripts/fuzz.sh").string() + "' -j " +
                     std::to_string(c.jobs) + " 30 json user_defaults"},
                {{"KL_PROGRAMS_DIR", programs.string()}, {"TMPDIR", (top / "tmp").string()}});
            EndsScript ends{fuzz};
            for (int i = 0; i < c.jobs; ++i)
                ASSERT_TRUE(fuzz.waitForOutput("fuzz-" + targets[i] + " runs in")) << fuzz.output;
            ASSERT_TRUE(sendSignal(fuzz, c.sig, c.wholeGroup));
            ASSERT_TRUE(fuzz.waitForExit(60)) << fuzz.output;
            EXPECT_EQ(fuzz.status, 128 + c.sig) << fuzz.output;
            for (int i = 0; i < c.jobs; ++i) {
                const std::string& name = targets[i];
                EXPECT_NE(fuzz.output.find(name + std::string(17 - name.size(), ' ') +
                                           "interrupted  cov: 7 ft: 9  see build/fuzz/logs/" + name + ".log\n"),
                          std::string::npos)
                    << fuzz.output;
                EXPECT_EQ(contentsOf(top / "build/fuzz/results" / name).find("interrupted"), 17u) << name;
            }
            EXPECT_EQ(fuzz.output.find("FINDING"), std::string::npos) << fuzz.output;
            EXPECT_EQ(fuzz.output.find("no such job"), std::string::npos) << fuzz.output;
            EXPECT_EQ(fuzz.output.find("lost its home"), std::string::npos) << fuzz.output;
            EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
        }
    }
}

// ---- fuzz targets ----

// Ctrl+C, SIGTERM or a closed terminal ends a fuzz target, run by fuzz.sh or
// by hand, as the signal does, and its temporary home, however deep and
// full, goes with it.
TEST(FuzzTarget, ASignalRemovesItsTemporaryHome) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        const fs::path top = sourceCopy("fuzz-home", {});
        testsupport::ChildProcess target(KL_FUZZ_HOME_PROBE, {}, {{"TMPDIR", (top / "tmp").string()}});
        ASSERT_TRUE(target.waitForOutput("\n")) << target.output;
        ASSERT_EQ(target.output.rfind("home: " + (top / "tmp").string() + "/kl-fuzz-", 0), 0u) << target.output;
        target.signal(sig);
        ASSERT_TRUE(target.waitForExit(60)) << target.output;
        EXPECT_EQ(target.status, 128 + sig) << target.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{}) << target.output;
    }
}

// ---- what a script started, and its temporary folders ----

// A build that lasts until it is stopped, for a script that builds: on PATH
// (the folder answered), a cmake that configures at once and builds by
// starting a ninja that starts a compiler, each writing its process id into
// `builders` of the folder it runs in; the installation a stand-in that has
// nothing to do.
fs::path lastingBuild(const fs::path& top) {
    std::ofstream(top / "scripts/install-deps.sh") << "#!/bin/bash\necho 'install-deps: all present'\n";
    fs::permissions(top / "scripts/install-deps.sh", fs::perms::owner_all);
    const fs::path bin = top / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "cmake") << R"(#!/bin/bash
[ "$1" = --build ] || exit 0
echo $$ >>builders
bash -c 'echo $$ >>builders; bash -c "echo \$\$ >>builders; echo building; exec sleep 300" & wait' &
wait
)";
    fs::permissions(bin / "cmake", fs::perms::owner_all);
    return bin;
}

// Whether the process still runs: one that has ended but waits for its
// parent to take its status (orphaned, for the system's first process) has
// ended.
bool stillRuns(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return false;
    const std::size_t end = stat.rfind(") ");
    return end != std::string::npos && stat.compare(end + 2, 1, "Z") != 0;
}

// Ctrl+C on the terminal (SIGINT to the script's process group), a SIGTERM
// or SIGHUP to the script's own process, or a SIGKILL to it, which it cannot
// catch, in the middle of the build of each script that builds: cmake, ninja
// and the compilers end with the script, which ends with 128 + the signal
// once none of them is left, and leaves nothing in the temporary folder.
TEST(Scripts, ASignalDuringTheBuildEndsIt) {
    struct Case {
        const char* script;
        const std::vector<const char*>& files;
        std::vector<std::string> arguments;
        int sig;
        bool wholeGroup;
    };
    const std::vector<Case> cases = {
        {"scripts/test.sh", kTestFiles, {}, SIGTERM, false},
        {"scripts/test.sh", kTestFiles, {}, SIGHUP, false},
        {"scripts/test.sh", kTestFiles, {}, SIGINT, true},
        {"scripts/test.sh", kTestFiles, {}, SIGKILL, false},
        {"scripts/run.sh", kRunFiles, {}, SIGTERM, false},
        {"scripts/run.sh", kRunFiles, {}, SIGINT, true},
        {"scripts/run.sh", kRunFiles, {}, SIGKILL, false},
        {"scripts/fuzz.sh", kFuzzFiles, {"30", "json"}, SIGTERM, false},
        {"scripts/hostile-tour.sh", kHostileFiles, {}, SIGTERM, false},
        {"scripts/hostile-tour.sh", kHostileFiles, {}, SIGHUP, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script) + ", " + strsignal(c.sig));
        const fs::path top = sourceCopy("build-signal", c.files);
        const fs::path bin = lastingBuild(top);
        // The script's own process, or a terminal's foreground job (a process
        // group of its own).
        std::vector<std::string> call = scriptCall(top, c.script, c.arguments);
        if (c.wholeGroup) call.insert(call.begin(), "/bin/bash");
        testsupport::ChildProcess script(c.wholeGroup ? "/usr/bin/setsid" : "/bin/bash", call,
                                         {{"PATH", bin.string() + ":" + std::getenv("PATH")},
                                          {"TMPDIR", (top / "tmp").string()},
                                          {"KL_PROGRAMS_DIR", ""}});
        EndsScript ends{script};
        ASSERT_TRUE(script.waitForOutput("building")) << script.output;
        std::vector<pid_t> builders;
        std::istringstream ids(contentsOf(top / "builders"));
        for (pid_t id; ids >> id;) builders.push_back(id);
        ASSERT_EQ(builders.size(), 3u) << contentsOf(top / "builders");
        ASSERT_TRUE(sendSignal(script, c.sig, c.wholeGroup));
        // Its output closes once nothing of it holds it any more.
        ASSERT_TRUE(script.waitForExit(60)) << script.output;
        EXPECT_EQ(script.status, 128 + c.sig) << script.output;
        for (pid_t id : builders) EXPECT_FALSE(stillRuns(id)) << "builder " << id;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
    }
}

// A SIGKILL to a script, which it cannot catch, while what it started runs:
// run.sh while its demo service starts (a stand-in that has begun its
// information file, as the service writes it, and never finishes it; it
// ends with its parent, as the service does), hostile-tour.sh in the middle
// of its tour, fuzz.sh while two targets run (the stand-ins above). What the
// script started ends, and its temporary folder goes, by the time the
// script's output has closed.
TEST(Scripts, ASIGKILLLeavesNothingRunningOrBehind) {
    using Environment = testsupport::ChildProcess::Environment;
    struct Case {
        const char* name;
        const std::vector<const char*>& files;
        std::function<Environment(const fs::path& top)> environment;  // made ready in the copy
        std::string command;  // run from the copy's top folder
        std::string running;  // what it prints once the moment has come
    };
    const std::vector<Case> cases = {
        {"run.sh starting its service", kRunFiles,
         [](const fs::path& top) {
             const fs::path programs = top / "programs";
             fs::create_directories(programs);
             fs::create_symlink(fs::path(KL_PROGRAMS_DIR) / "kestrowline", programs / "kestrowline");
             std::ofstream(programs / "kl-demo-service") << R"(#!/bin/bash
while [ $# -gt 1 ]; do [ "$1" = --info-file ] && info=$2; shift; done
echo 'KL_DEMO_ENDPOINT=' >"$info.tmp-7"
exec setpriv --pdeathsig TERM /bin/bash -c 'echo "the demo service starts"; exec sleep 300'
)";
             fs::permissions(programs / "kl-demo-service", fs::perms::owner_all);
             return scriptEnvironment(top, {{"KL_PROGRAMS_DIR", programs.string()}});
         },
         "exec /bin/bash scripts/run.sh", "the demo service starts"},
        {"hostile-tour.sh touring", kHostileFiles,
         [](const fs::path& top) { return scriptEnvironment(top, {{"KL_HOSTILE_PEAK_KB", "8000000"}}); },
         "exec /bin/bash scripts/hostile-tour.sh", "01-home.png"},
        {"fuzz.sh fuzzing", kFuzzFiles,
         [](const fs::path& top) {
             return scriptEnvironment(top, {{"KL_PROGRAMS_DIR", standInFuzzTargets(top, true).string()}});
         },
         "exec 3>&1; exec /bin/bash scripts/fuzz.sh -j 2 30 json user_defaults", "fuzz-user_defaults runs in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.command.find("hostile-tour.sh") != std::string::npos && !fs::exists("/usr/bin/time")) {
            continue;  // no GNU time (scripts/install-deps.sh installs it)
        }
        const fs::path top = sourceCopy("script-killed", c.files);
        testsupport::ChildProcess script("/bin/bash", {"-c", "cd '" + top.string() + "' && " + c.command},
                                         c.environment(top));
        EndsScript ends{script};
        ASSERT_TRUE(script.waitForOutput(c.running)) << script.output;
        ASSERT_TRUE(sendSignal(script, SIGKILL, false));
        ASSERT_TRUE(script.waitForExit(120)) << script.output;
        EXPECT_EQ(script.status, 128 + SIGKILL) << script.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
    }
}

// ---- README ----

// The commands of "Pointing the program at a service" as a person runs them
// one after the other, the service's and the tour's (not the one that runs
// until interrupted): the tour walks every screen, and the commands stop the
// service they started. This build's programs stand for the release build's,
// and a free port for 8735, which the program is pointed at as its default
// is.
TEST(Readme, TheServiceCommandsRunAsWrittenCompleteATour) {
    std::istringstream readme(contentsOf(fs::path(KL_SOURCE_DIR) / "README.md"));
    std::vector<std::string> block;
    bool inSection = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.starts_with("## ")) inSection = line == "## Pointing the program at a service";
        if (!inSection) continue;
        if (line.starts_with("    ")) {
            block.push_back(line);
        } else if (!block.empty()) {
            break;
        }
    }
    auto has = [&](const std::string& text) {
        for (const auto& line : block)
            if (line.find(text) != std::string::npos) return true;
        return false;
    };
    ASSERT_TRUE(has("kl-demo-service --port 8735")) << "no service in the block";
    ASSERT_TRUE(has("kestrowline --tour DIR")) << "no tour in the block";

    const fs::path top = sourceCopy("readme", {});
    fs::create_directories(top / "build");
    const std::string url = SoapServer::refusedURL();  // on a port nobody listens on
    const std::size_t colon = url.rfind(':');
    const std::string port = url.substr(colon + 1, url.find('/', colon) - colon - 1);
    auto replaceAll = [](std::string text, const std::string& from, const std::string& to) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
        return text;
    };
    // From the copy's top, as from the source tree's; the service stops when the commands end.
    std::string script = "cd '" + top.string() + "'\ntrap 'kill $(jobs -p) 2>/dev/null; wait' EXIT\nset -e\n";
    for (std::string line : block) {
        const bool program = line.find("kestrowline") != std::string::npos;
        if (program && line.find("--tour") == std::string::npos && line.find("--help") == std::string::npos) continue;
        line = replaceAll(line, "build/release/", std::string(KL_PROGRAMS_DIR) + "/");
        line = replaceAll(line, "8735", port);
        line = replaceAll(line, " DIR", " tour");
        script += line + "\n";
    }
    script += "if kill -0 $! 2>/dev/null; then echo 'the commands leave their service running'; exit 1; fi\n";
    testsupport::ChildProcess commands(
        "/bin/bash", {"-c", script},
        {{"KL_SERVICE_URL", "http://127.0.0.1:" + port}, {"TMPDIR", (top / "tmp").string()}});
    EndsScript ends{commands};
    ASSERT_TRUE(commands.waitForExit(280)) << script << commands.output;
    EXPECT_EQ(commands.status, 0) << script << commands.output;
    EXPECT_NE(commands.output.find("16 pictures in " + (top / "tour").string()), std::string::npos)
        << script << commands.output;
    EXPECT_NE(commands.output.find("usage: kestrowline"), std::string::npos) << commands.output;
    EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
}

}  // namespace
