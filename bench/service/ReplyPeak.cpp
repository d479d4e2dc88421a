// How much memory one large service reply takes on its road: the program's
// peak resident size while a reply of the given size (30 MB by default, near
// the 32 MiB cap of a service reply) travels from the socket to the screen's
// delegate, against the reply's size. The service runs in a child process so
// that its own copies of the reply do not count.
//
//   build/release/bench/reply_peak [megabytes]
//
// Prints the reply's size, the peak growth of this process while the reply
// came in and was read, and their ratio (1.0x: the reply was held once).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/RunLoop.h"
#include "service/ServiceConfig.h"
#include "service/VoVaClient.h"
#include "support/LoopbackService.h"
#include "support/PeakMemory.h"

namespace {

struct Screen : PPClientDelegate {
    std::size_t received = 0;
    bool done = false;
    void GetWebServerContent_success(const std::string& result) override {
        received = result.size();
        done = true;
    }
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override {
        std::fprintf(stderr, "failed: %s\n", error->description().c_str());
        done = true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 30;
    const std::size_t size = megabytes * 1024 * 1024;
    int ports[2];
    if (pipe(ports) != 0) return 1;
    const pid_t child = fork();
    if (child == 0) {
        // The service: a result of plain JSON text (nothing to escape), served until killed.
        LoopbackService svc;
        std::string result = R"({"state":"successful","records":[)";
        const std::string record = R"({"id":"1","title":"基层党组织建设工作推进会议召开","zhaiyao":"会议强调"},)";
        while (result.size() + record.size() + 2 < size) result += record;
        result.back() = ']';
        result += '}';
        svc.reply("GetSign", result);
        svc.reply("GetUserConfig", R"({"state":"successful"})");
        const std::string url = svc.url() + "\n" + svc.serviceNamespace() + "\n";
        if (write(ports[1], url.data(), url.size()) != static_cast<ssize_t>(url.size())) _exit(1);
        for (;;) pause();
    }
    char buffer[512] = {};
    std::size_t got = 0;
    while (got < sizeof buffer - 1) {
        ssize_t n = read(ports[0], buffer + got, sizeof buffer - 1 - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
        if (std::string(buffer, got).find('\n', std::string(buffer, got).find('\n') + 1) != std::string::npos) break;
    }
    std::string text(buffer, got);
    std::string url = text.substr(0, text.find('\n'));
    std::string space = text.substr(url.size() + 1, text.find('\n', url.size() + 1) - url.size() - 1);
    ServiceConfig::setEndpoint(url);
    ServiceConfig::setServiceNamespace(space);

    auto screen = std::make_shared<Screen>();
    auto client = VoVaClient::create(screen);
    client->GetUserConfig();  // a small first exchange: the connection and the libraries' own memory
    ns::RunLoop::main().runUntil([&] { return screen->done; }, 120);
    screen->done = false;
    const long grownKB = testsupport::peakGrowthKB([&] {
        client->GetSign("1", "2015-03");
        ns::RunLoop::main().runUntil([&] { return screen->done; }, 120);
    });
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    if (screen->received == 0) return 1;
    const double reply = static_cast<double>(screen->received) / (1024.0 * 1024.0);
    const double grown = static_cast<double>(grownKB) / 1024.0;
    std::printf("reply %.1f MB; peak grew by %.1f MB while it came and was read: %.2fx the reply\n", reply, grown,
                grown / reply);
    return 0;
}
