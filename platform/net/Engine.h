// Exchanges driven by the main run loop itself: one libcurl multi handle
// whose sockets and timer the loop waits on (it is a RunLoopSource), so an
// exchange needs no thread of its own and its outcome is handed over on the
// main thread as soon as the reply has been read.
//
//   auto id = net::startExchange(std::move(request), [](net::Response&& r) { ... });
//   net::cancelExchange(id);   // `done` is never called
//
// Main thread only. `done` runs on a later turn of the main run loop (never
// inside startExchange), exactly once, unless the exchange is cancelled or the
// loop is reset (ns::RunLoop::resetForTesting ends every exchange unheard).
// Exchanges keep the rules of net::perform: the time-out counts seconds
// without progress and the exchange limit the whole exchange (both in real
// time, whatever clock the tests drive), redirects, decoding, reply caps and
// the network switch. The connections stay open between exchanges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "net/Http.h"

namespace net {

using ExchangeId = std::uint64_t;  // 0 is never an exchange
using ExchangeDone = std::function<void(Response&&)>;

ExchangeId startExchange(Request request, ExchangeDone done);
// Stops the exchange; false when it had already ended (or never was).
bool cancelExchange(ExchangeId id);
// Exchanges started and not yet ended.
std::size_t runningExchanges();

}  // namespace net
