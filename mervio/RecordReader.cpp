#include "mervio/RecordReader.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace mvrecord {

std::optional<long long> integerValue(const ns::Value& value) {
    if (value.isInteger()) return value.integerValue();
    if (value.isDouble()) {
        if (!std::isfinite(value.doubleValue())) return std::nullopt;
        return value.integerValue();
    }
    if (!value.isString()) return std::nullopt;
    const std::string& s = value.str();
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return std::nullopt;
    return value.integerValue();
}

std::optional<long long> integer(const ns::Value& dict, std::string_view key) { return integerValue(dict[key]); }

std::optional<std::int32_t> int32(const ns::Value& dict, std::string_view key) {
    ns::Value value = dict[key];
    auto n = integerValue(value);
    if (!n) return std::nullopt;
    // An unsigned integer above the signed range reads as negative here.
    if (value.isUnsigned() && *n < 0) return INT32_MAX;
    return static_cast<std::int32_t>(std::clamp<long long>(*n, INT32_MIN, INT32_MAX));
}

std::optional<std::string> text(const ns::Value& dict, std::string_view key) {
    ns::Value v = dict[key];
    if (!v.isString()) return std::nullopt;
    return v.str();
}

std::optional<ns::Bytes> data(const ns::Value& dict, std::string_view key) {
    ns::Value v = dict[key];
    if (!v.isData()) return std::nullopt;
    return v.data();
}

}  // namespace mvrecord
