// kl-demo-service: the demo service as a program, on 127.0.0.1.
//
//   kl-demo-service [--port N] [--state DIR] [--data DIR] [--info-file FILE] [--parent PID]
//
// --port     the port to listen on (default: a free one)
// --state    where submissions are kept between runs (default: a new
//            temporary folder, removed at exit)
// --data     the sample data (default: demo-data beside the program, else
//            the source tree's tools/demo-data)
// --info-file  once listening, writes the endpoint and the demo member
//            there as KEY=VALUE lines (KL_DEMO_ENDPOINT, KL_DEMO_STAT_URL,
//            KL_DEMO_USER, KL_DEMO_PASSWORD, KL_DEMO_STATE, and
//            KL_SURVEY_HOST: the host and port the program finds the
//            opinion survey at), for scripts; whole or not at all
// --parent   the process that started it (a script): once that process
//            has ended, however it ended, the service ends as on SIGTERM
//
// Prints the endpoint and the member to log in with, then answers until
// SIGINT, SIGTERM or SIGHUP (a closed terminal); when what it prints finds
// no reader (`| true`), it ends at once with status 1. However it ends, the
// temporary state folder goes. A state folder it cannot make (a TMPDIR that
// names no usable folder among the causes) or an info file it cannot write
// (a full disk, a folder in its place) ends it with status 1, saying which
// and why, with no info file left.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "demo/DemoService.h"
#include "foundation/Data.h"
#include "foundation/FileManager.h"

namespace {

const char* kUsage =
    "usage: kl-demo-service [--port N] [--state DIR] [--data DIR] [--info-file FILE] [--parent PID]\n";

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    demo::DemoService::Options options;
    std::string infoFile;
    pid_t parent = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--port" && (v = value())) {
            char* end = nullptr;
            long port = std::strtol(v, &end, 10);
            if (*v == '\0' || *end != '\0' || port < 0 || port > 65535) {
                std::cerr << "kl-demo-service: bad port " << v << "\n" << kUsage;
                return 2;
            }
            options.port = static_cast<int>(port);
        } else if (arg == "--state" && (v = value())) {
            options.stateFolder = v;
        } else if (arg == "--data" && (v = value())) {
            options.dataFolder = v;
        } else if (arg == "--info-file" && (v = value())) {
            infoFile = v;
        } else if (arg == "--parent" && (v = value())) {
            char* end = nullptr;
            long pid = std::strtol(v, &end, 10);
            if (*v == '\0' || *end != '\0' || pid < 1 || pid > std::numeric_limits<pid_t>::max()) {
                std::cerr << "kl-demo-service: bad process id " << v << "\n" << kUsage;
                return 2;
            }
            parent = static_cast<pid_t>(pid);
        } else {
            std::cerr << "kl-demo-service: unknown or incomplete option " << arg << "\n" << kUsage;
            return 2;
        }
    }
    if (options.dataFolder.empty()) options.dataFolder = demo::DemoService::defaultDataFolder(argv[0]);

    // The signals that end it are taken by sigwait below, and held until
    // then (from before the temporary folder is made); the server's threads
    // must not get them. A write to a closed pipe fails instead of ending
    // the process, folder left behind.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // The parent's end comes as a SIGTERM; a parent that ended before it was
    // asked for is no longer the parent.
    if (parent != 0 && (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)) {
        std::cerr << "kl-demo-service: process " << parent << " (--parent) is not its parent, or has ended\n";
        return 1;
    }

    std::string temporaryState;
    if (options.stateFolder.empty()) {
        std::string why;
        temporaryState = ns::makeTemporaryFolder("kl-demo-", &why);
        if (temporaryState.empty()) {
            std::cerr << "kl-demo-service: cannot make a temporary state folder: " << why << "\n";
            return 1;
        }
        options.stateFolder = temporaryState;
    }

    int status = 0;
    try {
        demo::DemoService service(options);
        auto member = service.demoMember();
        // The opinion survey is one of the pages served here.
        const std::string surveyHost = "127.0.0.1:" + std::to_string(service.port());
        std::cout << "Kestrowline demo service\n"
                  << "  endpoint:     " << service.url() << "\n"
                  << "  statistics:   " << service.statReportURL() << "\n"
                  << "  demo member:  user name \"" << member.userName << "\", password \"" << member.password
                  << "\" (" << member.realName << ")\n"
                  << "  data:         " << options.dataFolder << "\n"
                  << "  submissions:  " << service.stateFolder() << (temporaryState.empty() ? "" : " (removed at exit)")
                  << "\n"
                  << "  survey page:  for the program, KL_SURVEY_HOST=" << surveyHost << "\n"
                  << "Stop with Ctrl+C.\n"
                  << std::flush;
        if (!std::cout) {
            std::cerr << "kl-demo-service: its output has no reader; stopping\n";
            status = 1;
        }
        if (status == 0 && !infoFile.empty()) {
            const std::string info = "KL_DEMO_ENDPOINT=" + service.url() + "\n" +
                                     "KL_DEMO_STAT_URL=" + service.statReportURL() + "\n" +
                                     "KL_DEMO_USER=" + member.userName + "\n" +
                                     "KL_DEMO_PASSWORD=" + member.password + "\n" +
                                     "KL_DEMO_STATE=" + service.stateFolder() + "\n" +
                                     "KL_SURVEY_HOST=" + surveyHost + "\n";
            // Whole or not at all: a script waiting for the file never reads
            // half of it, and a write that fails leaves none.
            ns::ErrorPtr error;
            if (!ns::writeFileAtomically(infoFile, info, &error)) {
                std::cerr << "kl-demo-service: cannot write its info file "
                          << (error ? error->localizedDescription() : infoFile) << "\n";
                status = 1;
            }
        }
        if (status == 0) {
            int sig = 0;
            sigwait(&stop, &sig);
        }
    } catch (const std::exception& e) {
        std::cerr << "kl-demo-service: " << e.what() << "\n";
        status = 1;
    }
    if (!temporaryState.empty()) {
        std::error_code ec;
        fs::remove_all(temporaryState, ec);
    }
    return status;
}
