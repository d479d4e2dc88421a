// The program's command line as a person types it: a usage error prints the
// usage on standard error and exits 2 before anything starts; a headless run
// says on standard error what it is and how it ends.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/RunLoop.h"
#include "service/ServiceConfig.h"
#include "soapserver/SoapServer.h"
#include "soapserver/StatReport.h"
#include "support/ChildProcess.h"
#include "support/Command.h"

namespace {

const std::string kProgram = KL_PROGRAM_PATH;

TEST(ProgramOptionsTest, AUsageErrorPrintsTheUsageAndExits2) {
    struct Case {
        const char* arguments;  // after the program's name, as a shell reads them
        const char* named;      // what the message names
    };
    const Case cases[] = {
        // Values that are none.
        {"--wait abc --dump-home", "--wait"},
        {"--dump-home --wait -1", "--wait"},
        {"--dump-home --wait inf", "--wait"},
        {"--dump-home --wait ''", "--wait"},
        {"--dump-home --wait '5 s'", "--wait"},
        {"--dump-home --wait 0x10", "--wait"},  // not a decimal number
        {"--dump-home --wait 0x1p4", "--wait"},
        {"--dump-home --wait nan", "--wait"},
        {"--dump-home --wait +5", "--wait"},
        {"--service notaurl", "--service"},
        {"--service ftp://127.0.0.1/x", "--service"},
        {"--service http://", "--service"},
        {"--service=http://127.0.0.1:99999", "--service"},
        {"--service 'http://127.0.0.1:8735 /x'", "--service"},
        {"--service ''", "--service"},
        {"--service-namespace ''", "--service-namespace"},
        {"--stat-report notaurl", "--stat-report"},
        {"--stat-report=", "--stat-report"},
        {"--tour ''", "--tour"},
        {"--tour /tmp/kl-no-tour --tour-login demo", "--tour-login"},
        // Values missing.
        {"--service", "--service"},
        {"--service-namespace", "--service-namespace"},
        {"--stat-report", "--stat-report"},
        {"--tour", "--tour"},
        {"--tour-login", "--tour-login"},
        {"--dump-home --wait", "--wait"},
        // Options without the one they go with, or with one they exclude.
        {"--tour-login demo:demo123", "--tour-login"},
        {"--wait 5", "--wait"},
        {"--dump-home --tour /tmp/kl-no-tour", "--tour"},
        // The same before a --help, which answers for the options before it.
        {"--tour-login demo:demo123 --help", "--tour-login"},
        {"--wait 5 --help", "--wait"},
        {"--dump-home --tour /tmp/kl-no-tour -h", "--tour"},
        // Unknown.
        {"--bogus", "--bogus"},
        {"-x", "-x"},
        {"home", "home"},
        {"--tour=/tmp/kl-no-tour", "--tour=/tmp/kl-no-tour"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        // Standard error only: nothing goes to standard output.
        auto r = testsupport::runCommand("( " + kProgram + " " + c.arguments + " >/dev/null )");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.output.rfind("kestrowline: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find(c.named), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("\nusage: kestrowline"), std::string::npos) << r.output;
    }
}

TEST(ProgramOptionsTest, AnEmptyURLNeedsAValueWhicheverAddressItIsFor) {
    for (std::string option : {"--service", "--stat-report"}) {
        for (const std::string& arguments : {option + " ''", option + "="}) {
            SCOPED_TRACE(arguments);
            auto r = testsupport::runCommand(kProgram + " " + arguments);
            EXPECT_EQ(r.status, 2);
            EXPECT_NE(r.output.find("kestrowline: " + option + " needs a value\n"), std::string::npos) << r.output;
        }
    }
}

TEST(ProgramOptionsTest, TheEnvironmentsURLsAreCheckedAsTheOptionsAre) {
    struct Case {
        const char* environment;
        const char* arguments;
        int status;
    };
    const Case cases[] = {
        {"KL_SERVICE_URL=notaurl", "--dump-home", 2},
        {"KL_STAT_REPORT_URL=stat", "--dump-home", 2},
        // The option stands in for the variable.
        {"KL_SERVICE_URL=notaurl", "--service http://127.0.0.1:1 --help", 0},
        {"KL_STAT_REPORT_URL=stat", "--stat-report http://127.0.0.1:1 --help", 0},
        {"KL_SERVICE_URL=http://127.0.0.1:1", "--help", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.environment) + " " + c.arguments);
        auto r = testsupport::runCommand(std::string(c.environment) + " " + kProgram + " " + c.arguments);
        EXPECT_EQ(r.status, c.status) << r.output;
        if (c.status == 2) {
            EXPECT_NE(r.output.find(std::string(c.environment).substr(0, std::string(c.environment).find('='))),
                      std::string::npos)
                << r.output;
            EXPECT_NE(r.output.find("usage: kestrowline"), std::string::npos) << r.output;
        }
    }
}

TEST(ProgramOptionsTest, WebURLsNameAHostAndAtMostAPort) {
    struct Case {
        const char* url;
        bool web;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8735/AppDataSource/interface.asmx", true},
        {"https://example.org", true},
        {"HTTP://Example.org/", true},
        {"http://[::1]:8735/x", true},
        {"http://host.local?x=1", true},
        {"http://a_b.example:1/", true},
        {"notaurl", false},
        {"http:/example.org", false},
        {"http://", false},
        {"http:///path", false},
        {"http://:80/", false},
        {"http://host:/", false},
        {"http://host:0/", false},
        {"http://host:65536/", false},
        {"http://host:8o/", false},
        {"http://user@host/", false},
        {"http://[::1/", false},
        {"http://[]/", false},
        {"http://ho st/", false},
        {"http://host/a b", false},
        {"ftp://host/", false},
        {"maiwei://app/x/", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(ServiceConfig::isWebURL(c.url), c.web) << c.url;
}

// Runs the program without a display until it has said `line`; then stops
// it with `sig`. Its exit status, or -1.
int runUntilItSays(const std::vector<std::string>& arguments, const std::string& line, int sig, std::string* said) {
    testsupport::ChildProcess program(kProgram, arguments);
    bool heard = program.waitForOutput(line);
    if (heard) program.signal(sig);
    // Whatever it says on its way out.
    bool ended = program.waitForExit(120);
    *said = program.output;
    return ended && program.status < 128 ? program.status : -1;
}

TEST(ProgramOptionsTest, AHeadlessRunSaysSoAndHowToGetPicturesAndEndsOnASignal) {
    const std::string service = "http://127.0.0.1:1";  // nobody answers there
    struct Case {
        std::vector<std::string> arguments;
        const char* why;
        int signal;
    };
    const Case cases[] = {
        {{"--service", service}, "no display", SIGINT},
        {{"--service", service, "--no-window"}, "--no-window", SIGTERM},
        {{"--service", service, "--no-window"}, "--no-window", SIGHUP},  // its terminal closed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::string said;
        int status = runUntilItSays(c.arguments, "kestrowline --tour DIR", c.signal, &said);
        EXPECT_EQ(status, 0) << said;
        EXPECT_NE(said.find(c.why), std::string::npos) << said;
        EXPECT_NE(said.find("running headless until interrupted"), std::string::npos) << said;
        EXPECT_NE(said.find("for pictures of the screens"), std::string::npos) << said;
    }
}

#ifdef KL_PROGRAM_WINDOW
// A display named but not answering (DISPLAY=:999, no X server there; no
// Wayland display either): SDL would fall back to a window nobody sees and
// the program would run on unseen. It says so and ends with 1 instead,
// before the application starts; asked for that driver (SDL_VIDEODRIVER),
// it runs in that window until it is closed.
TEST(ProgramOptionsTest, AWindowWhoseDisplayDoesNotAnswerEndsTheRunSayingSo) {
    const std::string runtime = std::string(std::getenv("KL_HOME")) + "/runtime";  // no Wayland socket in it
    SoapServer silent;
    silent.handleOthers([](const SoapServer::Received&) { return SoapServer::held(); });
    testsupport::ChildProcess unseen(kProgram, {"--service", silent.url()},
                                     {{"DISPLAY", ":999"}, {"XDG_RUNTIME_DIR", runtime}});
    ASSERT_TRUE(unseen.waitForExit(60)) << unseen.output;
    EXPECT_EQ(unseen.status, 1) << unseen.output;
    EXPECT_NE(unseen.output.find("kestrowline: cannot open its window: no display answers at DISPLAY=:999"),
              std::string::npos)
        << unseen.output;
    EXPECT_EQ(silent.count(), 0u);  // nothing started

    // Without XDG_RUNTIME_DIR, SDL's look for a Wayland display nobody named
    // says nothing of its own: the program's line comes first. A Wayland
    // display named gets Wayland's reason in that line.
    struct Unset {
        const char* display;
        const char* says;
    };
    const Unset unset[] = {
        {"DISPLAY=:999", "kestrowline: cannot open its window: no display answers at DISPLAY=:999"},
        {"WAYLAND_DISPLAY=kl-no-wayland", "XDG_RUNTIME_DIR"},
    };
    for (const Unset& u : unset) {
        SCOPED_TRACE(u.display);
        auto r = testsupport::runCommand("exec env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " +
                                         std::string(u.display) + " " + kProgram + " --service " + silent.url());
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_EQ(r.output.rfind("kestrowline: cannot open its window: no display answers", 0), 0u) << r.output;
        const std::string line = r.output.substr(0, r.output.find('\n'));
        EXPECT_NE(line.find(u.says), std::string::npos) << r.output;
    }
    EXPECT_EQ(silent.count(), 0u);

    testsupport::ChildProcess asked(
        kProgram, {"--service", silent.url()},
        {{"DISPLAY", ":999"}, {"XDG_RUNTIME_DIR", runtime}, {"SDL_VIDEODRIVER", "offscreen"}});
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return silent.count() > 0; }, 60)) << asked.output;
    asked.signal(SIGTERM);  // closes the window
    ASSERT_TRUE(asked.waitForExit(60)) << asked.output;
    EXPECT_EQ(asked.status, 0) << asked.output;
    silent.release();
}
#endif

// Its statistics server takes the uploads and never answers: SIGTERM still
// ends the run at once (the upload in flight is stopped; it would otherwise
// take its whole time-out), and so does Ctrl+C.
TEST(ProgramOptionsTest, AHeadlessRunEndsPromptlyOnASignalWhileItsStatisticsServerIsSilent) {
    SoapServer silent;
    silent.serve(StatReportReceiver::kPath, SoapServer::held());
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        testsupport::ChildProcess program(
            kProgram, {"--service", "http://127.0.0.1:1", "--stat-report", silent.baseURL() + StatReportReceiver::kPath});
        ASSERT_TRUE(program.waitForOutput("until interrupted")) << program.output;
        program.signal(sig);
        // Well within the upload's 10-second time-out, however loaded the machine.
        ASSERT_TRUE(program.waitForExit(5)) << program.output;
        EXPECT_EQ(program.status, 0) << program.output;
        // An upload reached it (at the start or on the way out): unanswered, it was in flight at the end.
        EXPECT_GT(silent.count(), 0u);
        silent.clearRecords();
    }
    silent.release();
}

}  // namespace
