// The SOAP server under the demo service against clients that would take it
// down: endless bodies, connections that go silent, no descriptors left.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "foundation/RunLoop.h"
#include "soapserver/SoapServer.h"

namespace {

// A plain TCP client that sends what it is given and reads until the server
// closes (or, as a limit, nothing comes for `limitSeconds`).
class RawClient {
public:
    explicit RawClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool connected() const { return connected_; }
    void send(const std::string& text) { ASSERT_EQ(::send(fd_, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size())); }
    // Everything until the server closes; nullopt when it has not closed within the limit.
    std::optional<std::string> readToClose(double limitSeconds = 10) {
        timeval limit{static_cast<time_t>(limitSeconds), 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::string all;
        char buf[4096];
        for (;;) {
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n == 0) return all;
            if (n < 0) return std::nullopt;
            all.append(buf, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

std::string post(const std::string& lengthHeader, const std::string& body = {}) {
    return "POST /AppDataSource/interface.asmx HTTP/1.1\r\nHost: 127.0.0.1\r\n"
           "Content-Type: application/soap+xml; charset=utf-8\r\n" +
           lengthHeader + "\r\n" + body;
}

}  // namespace

TEST(ServerLimits, ABodyTooLargeOrALengthThatIsNoNumberIsRefusedUnread) {
    SoapServer server;
    struct Case {
        std::string header;
        const char* status;
    };
    const Case cases[] = {
        {"Content-Length: 1000000000000\r\n", "HTTP/1.1 413 "},  // what took 690 MB
        {"Content-Length: 99999999999999999999999\r\n", "HTTP/1.1 413 "},
        {"Content-Length: " + std::to_string(SoapServer::kMaxBodyBytes + 1) + "\r\n", "HTTP/1.1 413 "},
        {"Content-Length: -1\r\n", "HTTP/1.1 400 "},
        {"Content-Length: 12abc\r\n", "HTTP/1.1 400 "},
    };
    for (const auto& c : cases) {
        RawClient client(server.port());
        ASSERT_TRUE(client.connected());
        client.send(post(c.header, "<soap:Envelope"));
        auto reply = client.readToClose();
        ASSERT_TRUE(reply) << c.header << "no answer";
        EXPECT_EQ(reply->rfind(c.status, 0), 0u) << c.header << *reply;
        EXPECT_NE(reply->find("Connection: close"), std::string::npos) << *reply;
    }
    EXPECT_EQ(server.count(), 0u);  // nothing was taken for a request
}

TEST(ServerLimits, SilentConnectionsAreClosedAfterTheIdleTime) {
    SoapServer server;
    server.setIdleTimeout(0.2);
    server.serve("/page", SoapServer::status(200, "ok"));
    RawClient silent(server.port()), halfSent(server.port()), afterAnswer(server.port());
    ASSERT_TRUE(silent.connected() && halfSent.connected() && afterAnswer.connected());
    halfSent.send(post("Content-Length: 100\r\n", "only some of it"));
    afterAnswer.send("GET /page HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");  // kept alive, then silent

    EXPECT_EQ(silent.readToClose(), std::string());
    EXPECT_EQ(halfSent.readToClose(), std::string());
    auto answered = afterAnswer.readToClose();
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->rfind("HTTP/1.1 200 ", 0), 0u) << *answered;
    EXPECT_EQ(server.count(), 1u);
}

TEST(ServerLimits, AcceptFailuresBackOffAndTheServerRecovers) {
    SoapServer server;
    server.serve("/page", SoapServer::status(200, "ok"));

    // Use up the descriptors this process may have, but one for the client.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> filler;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) filler.push_back(fd);
    ASSERT_FALSE(filler.empty());
    ::close(filler.back());
    filler.pop_back();

    auto start = std::chrono::steady_clock::now();
    RawClient client(server.port());  // waits in the backlog: the server cannot take it
    bool failedFourTimes =
        ns::RunLoop::main().runUntil([&] { return server.acceptFailures() >= 4; }, 20);
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    for (int fd : filler) ::close(fd);
    setrlimit(RLIMIT_NOFILE, &old);
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(failedFourTimes);
    // Waits of 50, 100 and 200 ms at least lie between the four attempts;
    // without them the four came within microseconds, and on and on.
    EXPECT_GE(elapsed, 0.35);

    client.send("GET /page HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    auto reply = client.readToClose();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->rfind("HTTP/1.1 200 ", 0), 0u) << *reply;
}
