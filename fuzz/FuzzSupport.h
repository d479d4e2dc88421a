// What every fuzz target shares. A target is one function,
// LLVMFuzzerTestOneInput, that hands the bytes to one reader and checks what
// the reader promises; it links FuzzSupport.cpp, whose LLVMFuzzerInitialize
// gives the process a temporary app home, the test zone and the resources.
//
//   extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
//       fuzz::Quiet quiet;                                    // log lines kept off stderr
//       ns::Value v = JSONFragmentValue(fuzz::text(data, size));
//       FUZZ_CHECK(v.isNil() || ...);                         // a broken promise aborts
//       return 0;
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Log.h"
#include "foundation/Value.h"

namespace fuzz {

// The temporary app home of this process ($KL_HOME), removed at exit and when
// Ctrl+C, SIGTERM or SIGHUP ends the process (which then ends as the signal
// ends it: status 128 + the signal).
const std::string& home();

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}
inline ns::Bytes bytes(const std::uint8_t* data, std::size_t size) { return ns::Bytes(data, data + size); }

// Log lines of one input go here instead of stderr.
using Quiet = ns::LogCapture;

// Reports a broken promise and aborts, so the fuzzer keeps the input.
[[noreturn]] void fail(const char* file, int line, const char* condition);

// What a format may change in a value it writes and reads back.
struct Slack {
    double dateSeconds = 0;       // dates within this many seconds (0: exactly)
    bool numbersByValue = false;  // 1.0 may come back as 1, -0.0 as 0
};

// Deep equality that tells kinds apart (true is not 1, 1 is not 1.0) and
// takes NaN as equal to NaN, but for what the slack allows.
bool sameValue(const ns::Value& a, const ns::Value& b, const Slack& slack = {});

}  // namespace fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::fuzz::fail(__FILE__, __LINE__, #condition))
