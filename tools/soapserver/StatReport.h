// The statistics server's report endpoint, "/stat/report", on a SoapServer:
// the loopback statistics server of the tests and the demo service's.
//
//   SoapServer server;
//   StatReportReceiver stats(server);               // answers server.baseURL() + "/stat/report"
//   ... the reporter uploads ...
//   stats.eventCount();  stats.events()[0]["ei"];
//   stats.answerOnce({.status = 500});              // the next upload fails
//   stats.answerOnce({.hold = true});               // ... is answered after server.release()
//
// A report is a POST whose body is enciphered with RC4 under the key's
// ASCII bytes; when its Content-Encoding names gzip, the deciphered body is
// a 4-byte big-endian length followed by the gzip stream of that many bytes.
// Inside is a JSON array of event objects. Every upload is kept as it came
// and as read; the events of those answered as accepted (status 200 and
// "ret" 0) are kept in order of arrival.
// A readable upload is answered as scripted (by default status 200,
// {"ret":0} enciphered, Content-Encoding "rc4"); an unreadable one with
// status 400.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "soapserver/SoapServer.h"

class StatReportReceiver {
public:
    static constexpr const char* kPath = "/stat/report";
    static constexpr const char* kKey = "5f3c9a07e1b24d68a0c7f2e91b6d3a45";

    struct Upload {
        SoapServer::Received request;
        bool prefixed = false;         // compressed behind a length
        std::uint32_t declaredLength = 0;
        std::string plain;             // deciphered and unpacked
        ns::Value events;              // the array, or nil when unreadable
    };
    struct Answer {
        int status = 200;
        std::string body = R"({"ret":0})";
        std::optional<std::string> contentEncoding = "rc4";
        bool encipher = true;
        bool hold = false;  // answered only after the server's release()
    };

    explicit StatReportReceiver(SoapServer& server, std::string key = kKey);
    StatReportReceiver(const StatReportReceiver&) = delete;
    StatReportReceiver& operator=(const StatReportReceiver&) = delete;

    std::string url() const { return server_.baseURL() + kPath; }

    // The answer to every readable upload from now on, and to the next one only.
    void answer(Answer answer);
    void answerOnce(Answer answer);
    // Called on a server thread after each upload with its count of events
    // and the count of all events received so far.
    void onUpload(std::function<void(std::size_t events, std::size_t total)> callback);

    std::vector<Upload> uploads() const;
    std::vector<ns::Value> events() const;
    std::size_t eventCount() const;
    void clear();

    // RC4 under the key's bytes (both ways).
    static void rc4(std::string& data, const std::string& key);

private:
    // Shared with the server's handler, which may outlive this object.
    struct State;

    SoapServer& server_;
    std::shared_ptr<State> state_;
};
