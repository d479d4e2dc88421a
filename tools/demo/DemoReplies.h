// The replies of the demo service's operations and what they read from a
// request, shared by its source files.
#pragma once

#include <ctime>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Value.h"

namespace demo::replies {

// The path below which the service serves its pictures.
inline constexpr const char* kPicturesPath = "/demo/pictures/";

inline ns::Value reply(const char* state, const std::string& message) {
    return ns::Value::dictionary({{"state", state}, {"message", message}});
}
inline ns::Value succeeded(const std::string& message = "") { return reply("successful", message); }
inline ns::Value failed(const std::string& message) { return reply("failed", message); }
inline ns::Value listReply(const ns::Value& records) {
    ns::Value r = succeeded();
    r.set("records", records);
    return r;
}

// A parameter as text ("" when absent); the client sends most as strings,
// some as bare numbers.
inline std::string parameter(const ns::Value& argument, std::string_view key) {
    return argument["parameters"][key].text();
}

// The page asked for: pages count from 1; sizes are held to 1..100.
struct Page {
    std::size_t first = 0;
    std::size_t size = 10;
};
inline Page pageOf(const ns::Value& argument) {
    long long index = argument["page_index"].integerValue();
    long long size = argument["page_size"].integerValue();
    if (index < 1) index = 1;
    if (size < 1) size = 10;
    if (size > 100) size = 100;
    return Page{static_cast<std::size_t>(index - 1) * static_cast<std::size_t>(size), static_cast<std::size_t>(size)};
}

inline ns::Value pageOfItems(const std::vector<ns::Value>& items, const Page& page) {
    ns::Value out = ns::Value::array();
    for (std::size_t i = page.first; i < items.size() && i < page.first + page.size; ++i) out.push(items[i]);
    return out;
}

// Characters (not bytes) of a UTF-8 text.
inline std::size_t characterCount(const std::string& text) {
    std::size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// A moment as local time, "yyyy-MM-dd HH:mm:ss".
inline std::string timeText(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

// The record with only these keys (missing ones as null).
inline ns::Value pick(const ns::Value& record, std::initializer_list<const char*> keys) {
    ns::Value out = ns::Value::dictionary();
    for (const char* k : keys) out.set(k, record[k].isNil() ? ns::Value::null() : record[k]);
    return out;
}

}  // namespace demo::replies
