// The scripts a person runs, and the README's commands, with this build's
// programs. Each script runs from a copy of the source tree's top folder that
// holds only the files it needs, so that whatever it makes (build/tour, its
// log) lands in the test's home; the programs are this build's
// ($KL_PROGRAMS_DIR), nothing is installed or built, and a script that went
// further than it should would find nothing to install or build there.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
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

// A fresh folder standing for the source tree: copies of the files named
// (relative to the top), and an empty tmp/ for the scripts' temporary files.
fs::path sourceCopy(const std::string& name, std::initializer_list<const char*> files) {
    const fs::path top = fs::path(std::getenv("KL_HOME")) / name;
    fs::remove_all(top);
    for (const char* file : files) {
        fs::create_directories((top / file).parent_path());
        fs::copy_file(fs::path(KL_SOURCE_DIR) / file, top / file);
    }
    fs::create_directories(top / "tmp");
    return top;
}

// The environment a script runs in from the copy: this build's programs, its
// temporary files in the copy's tmp/.
testsupport::ChildProcess::Environment scriptEnvironment(const fs::path& top,
                                                         testsupport::ChildProcess::Environment more = {}) {
    more.emplace_back("KL_PROGRAMS_DIR", KL_PROGRAMS_DIR);
    more.emplace_back("TMPDIR", (top / "tmp").string());
    return more;
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
// one that does not go with the tour the script runs without a display.
// Asked for, the usage is shown the same way.
TEST(RunScript, ABadOptionIsAUsageErrorBeforeAnythingStarts) {
    const std::map<std::vector<std::string>, std::string> wrong = {
        {{"--bogus"}, "kestrowline: unknown option --bogus"},
        {{"--wait", "soon"}, "kestrowline: --wait takes a number of seconds"},
        {{"--service", "ftp://127.0.0.1/"}, "kestrowline: "},
        {{"--wait", "3"}, "kestrowline: --wait goes with --dump-home"},
        {{"--dump-home"}, "kestrowline: --dump-home and --tour do not go together"},
    };
    for (const auto& [arguments, message] : wrong) {
        SCOPED_TRACE(arguments.front());
        const fs::path top = sourceCopy("run-usage", {"scripts/run.sh", "scripts/demo-service.sh"});
        std::vector<std::string> call{(top / "scripts/run.sh").string()};
        call.insert(call.end(), arguments.begin(), arguments.end());
        testsupport::ChildProcess run("/bin/bash", call, scriptEnvironment(top));
        ASSERT_TRUE(run.waitForExit(120)) << run.output;
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("usage: kestrowline"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("demo service"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("touring"), std::string::npos) << run.output;
        EXPECT_FALSE(fs::exists(top / "build")) << run.output;
        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
    }

    const fs::path top = sourceCopy("run-help", {"scripts/run.sh", "scripts/demo-service.sh"});
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
// write to it too, have ended.
TEST(RunScript, CtrlCOrASignalToTheScriptReachesTheProgramOnce) {
    struct Case {
        int sig;
        bool wholeGroup;
    };
    for (const Case& c : {Case{SIGINT, true}, Case{SIGTERM, false}, Case{SIGHUP, false}}) {
        SCOPED_TRACE(strsignal(c.sig));
        const fs::path top = sourceCopy("run-signal", {"scripts/run.sh", "scripts/demo-service.sh"});
        // In a session and process group of its own, as a terminal's foreground job.
        testsupport::ChildProcess run("/usr/bin/setsid", {"/bin/bash", (top / "scripts/run.sh").string()},
                                      scriptEnvironment(top));
        EndsScript ends{run};
        ASSERT_TRUE(run.waitForOutput("Tour of the screens")) << run.output;
        const std::size_t at = run.output.find("endpoint:");
        ASSERT_NE(at, std::string::npos) << run.output;
        std::istringstream line(run.output.substr(at + 9));
        std::string endpoint;
        line >> endpoint;

        if (c.wholeGroup) {
            ASSERT_EQ(kill(-run.pid(), c.sig), 0);
        } else {
            run.signal(c.sig);
        }
        ASSERT_TRUE(run.waitForExit(120)) << run.output;
        EXPECT_EQ(run.status, 128 + c.sig) << run.output;
        EXPECT_NE(run.output.find("; interrupted\n"), std::string::npos) << run.output;
        const std::string log = contentsOf(top / "build/tour/kestrowline.log");
        EXPECT_EQ(log.find("interrupted again"), std::string::npos) << log;

        EXPECT_EQ(filesIn(top / "tmp"), std::vector<std::string>{});
        net::Request request;
        request.url = endpoint;
        EXPECT_EQ(net::perform(request).error, net::ErrorKind::ConnectionFailure) << endpoint;
    }
}

// ---- hostile-tour.sh ----

// A person's pictures in the tour's folder stay as they were, one named as
// the tour names its own among them; the pictures of an earlier tour are
// replaced.
TEST(HostileTourScript, LeavesAPersonsPicturesAndReplacesTheTourOwn) {
    if (!fs::exists("/usr/bin/time")) GTEST_SKIP() << "no GNU time (scripts/install-deps.sh installs it)";
    const fs::path top = sourceCopy("hostile", {"scripts/hostile-tour.sh", "scripts/demo-service.sh"});
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

// ---- fuzz.sh ----

// A job count that is none is a usage error, before anything is installed,
// built or run.
TEST(FuzzScript, ABadJobCountIsAUsageErrorAndRunsNothing) {
    const std::vector<std::vector<std::string>> wrong = {
        {"-j", "0", "2", "json"}, {"-j", "abc", "json"}, {"-j"}, {"-j", "-2", "json"}, {"-j", "", "json"}};
    for (const auto& arguments : wrong) {
        const fs::path top = sourceCopy("fuzz", {"scripts/fuzz.sh", "fuzz/CMakeLists.txt"});
        std::vector<std::string> call{(top / "scripts/fuzz.sh").string()};
        call.insert(call.end(), arguments.begin(), arguments.end());
        SCOPED_TRACE(arguments.size() > 1 ? "-j " + arguments[1] : "-j");
        testsupport::ChildProcess fuzz("/bin/bash", call, scriptEnvironment(top));
        ASSERT_TRUE(fuzz.waitForExit(60)) << fuzz.output;
        EXPECT_EQ(fuzz.status, 2) << fuzz.output;
        EXPECT_NE(fuzz.output.find("fuzz.sh: -j "), std::string::npos) << fuzz.output;
        EXPECT_NE(fuzz.output.find("usage: scripts/fuzz.sh"), std::string::npos) << fuzz.output;
        EXPECT_FALSE(fs::exists(top / "build")) << fuzz.output;
    }
}

// ---- README ----

// The commands of "Pointing the program at a service" as a person runs them
// one after the other, the service's and the tour's (not the one that runs
// until interrupted): the tour walks every screen. This build's programs stand
// for the release build's, and a free port for 8735, which the program is
// pointed at as its default is.
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
