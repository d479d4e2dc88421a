// What the blocking exchange (net::perform) and the main run loop's engine
// (net/Engine.h) share: one exchange's state across its hops, and libcurl
// easy handles that keep their settings from one exchange to the next.
// Internal to kl_net.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>

#include "net/Http.h"

namespace net::detail {

using Clock = std::chrono::steady_clock;

struct Transfer;
// How a reply body is decoded (Http.cpp).
struct Decoding;

// One libcurl easy handle with the settings it keeps between exchanges:
// the callbacks and fixed options are set once, the header list, the
// time-out and the decoding only when an exchange asks for others.
struct Easy {
    Easy();
    ~Easy();
    Easy(const Easy&) = delete;
    Easy& operator=(const Easy&) = delete;

    CURL* handle = nullptr;
    Transfer* current = nullptr;  // the exchange using it
    curl_slist* headers = nullptr;
    Headers headerKey;  // what `headers` was made from
    bool headerKeyBody = false;
    bool headersMade = false;
    long connectTimeoutMs = -1;
    int compressed = -1;  // -1: not set yet
};

// One exchange, hop by hop (redirects are followed here, not by libcurl).
struct Transfer {
    Transfer(const Request& request, const Progress* progress);

    const Request& request;
    const Progress* progress;
    Response response;
    Easy* easy = nullptr;
    std::string url, method;
    bool sendBody = false;
    long hop = 0;
    Clock::time_point started, lastActivity;
    bool tooLarge = false;
    bool reserved = false;
    curl_off_t lastDown = 0, lastUp = 0;
    CURLcode result = CURLE_OK;
    ErrorKind forced = ErrorKind::None;  // an outcome decided here, not by libcurl
    // The hop's content codings, undone here as the body comes (libcurl would
    // hand over a compressed body cut short as if it were whole).
    std::shared_ptr<Decoding> decoding;
    bool decodingChosen = false;

    // Takes the handle and sets it up for the first hop.
    void begin(Easy& easy);
    // Sets the URL, method and body of the current hop.
    void setHop();
    // The hop has ended (libcurl's result, or `forced` set). True when
    // another hop follows: the caller takes the handle out of its multi
    // handle, calls setHop() and adds it again.
    bool hopEnded(CURLcode code);
    // The outcome; gives the handle back.
    Response finish();

    // When the time-out or the exchange limit runs out next.
    Clock::time_point deadline() const;
    Clock::time_point limitDue() const;  // the exchange limit
    Clock::time_point idleDue() const;   // the time-out (none: max)
    // Whether either has run out by `now` (then the outcome is a time-out).
    bool expire(Clock::time_point now);
    void force(ErrorKind kind, std::string message);
};

// Called once, on whatever thread first needs libcurl.
void globalInit();

}  // namespace net::detail
