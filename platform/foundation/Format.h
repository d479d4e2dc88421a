// printf-style formatting with Foundation's "%@" for objects.
//
//   ns::format("%@-%02d", value, 3)
//
// Supported conversions: %@ %d %i %u %x %X %o %f %e %g %s %c %p %%, with
// flags, width, precision ("%.2f", "%02d", "%08lx", "%.f") and the length
// modifiers l, ll, z, h, hh, q, j, t (accepted and ignored: every argument
// already knows its own type). A missing argument prints as nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "foundation/Value.h"

namespace ns {

// One argument, as the call that formats it gives it: C strings and strings
// are referred to, not copied (a text logged may be megabytes), so an
// argument lives only as long as the call's own arguments.
struct FormatArg {
    enum class Kind { Signed, Unsigned, Double, CString, String, Object, Pointer, Char } kind;
    long long i = 0;
    unsigned long long u = 0;
    double d = 0;
    const char* cstr = nullptr;
    std::string_view s;
    Value v;
    const void* p = nullptr;

    template <typename T>
    static FormatArg from(const T& x) {
        FormatArg a{};
        using D = std::decay_t<T>;
        if constexpr (std::is_same_v<D, bool>) {
            a.kind = Kind::Signed;
            a.i = x ? 1 : 0;
        } else if constexpr (std::is_same_v<D, char>) {
            a.kind = Kind::Char;
            a.i = static_cast<unsigned char>(x);
        } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
            a.kind = Kind::Signed;
            a.i = static_cast<long long>(x);
        } else if constexpr (std::is_integral_v<D>) {
            a.kind = Kind::Unsigned;
            a.u = static_cast<unsigned long long>(x);
        } else if constexpr (std::is_enum_v<D>) {
            a.kind = Kind::Signed;
            a.i = static_cast<long long>(x);
        } else if constexpr (std::is_floating_point_v<D>) {
            a.kind = Kind::Double;
            a.d = static_cast<double>(x);
        } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
            a.kind = Kind::CString;
            a.cstr = x;
        } else if constexpr (std::is_same_v<D, std::string> || std::is_same_v<D, std::string_view>) {
            a.kind = Kind::String;
            a.s = x;
        } else if constexpr (std::is_same_v<D, Value>) {
            a.kind = Kind::Object;
            a.v = x;
        } else if constexpr (std::is_pointer_v<D>) {
            a.kind = Kind::Pointer;
            a.p = static_cast<const void*>(x);
        } else {
            a.kind = Kind::Object;
            a.v = Value(x);
        }
        return a;
    }
};

std::string formatArgs(std::string_view fmt, const std::vector<FormatArg>& args);

template <typename... A>
std::string format(std::string_view fmt, const A&... args) {
    return formatArgs(fmt, std::vector<FormatArg>{FormatArg::from(args)...});
}

}  // namespace ns
