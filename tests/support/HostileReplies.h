// Replies and documents made to cost their reader more than their size: the
// layouts a JSON reply, a SOAP envelope or an XML document may take that the
// service's readers and the XML document model must read or refuse in time
// and memory that follow the text's own bytes. The tests read them at sizes
// that show the cost; bench/service/ReaderPeak.cpp at their largest under
// the 32 MiB bound.
//
//   std::string reply = hostile::jsonManyKeys(32u << 20);
//   ns::Value v = JSONValue(reply);
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace hostile {

// ---- JSON ----

// One object of short distinct keys ("k0000000" up) to 0, at most `bytes`.
inline std::string jsonManyKeys(std::size_t bytes) {
    std::string out = "{";
    char entry[32];
    for (std::size_t i = 0;; ++i) {
        const int n = std::snprintf(entry, sizeof entry, "\"k%07zu\":0,", i);
        if (out.size() + static_cast<std::size_t>(n) + 1 > bytes) break;
        out.append(entry, static_cast<std::size_t>(n));
    }
    if (out.back() == ',') out.pop_back();
    out += '}';
    return out;
}

// An array of `text` repeated (a JSON value: "\"\"", "0", "{}"), at most
// `bytes`.
inline std::string jsonRepeated(std::string_view value, std::size_t bytes) {
    std::string out = "[";
    while (out.size() + value.size() + 2 <= bytes) {
        out.append(value);
        out += ',';
    }
    if (out.back() == ',') out.pop_back();
    out += ']';
    return out;
}

// The login's reply whose member record holds `keys` keys besides the
// member's own: "f0000000": "v0000000" and so on, every tenth one null.
inline std::string memberReply(std::size_t keys) {
    std::string out = R"({"state":"successful","message":"登录成功","records":[{"member_id":"42","uname":"demo",)"
                      R"("type":"1","area_id":"7","real_name":"张三","user_name":"13800000000")";
    char entry[48];
    for (std::size_t i = 0; i < keys; ++i) {
        const int n = i % 10 == 9 ? std::snprintf(entry, sizeof entry, ",\"f%07zu\":null", i)
                                  : std::snprintf(entry, sizeof entry, ",\"f%07zu\":\"v%07zu\"", i, i);
        out.append(entry, static_cast<std::size_t>(n));
    }
    out += "}]}";
    return out;
}

// ---- SOAP and XML ----

// The SOAP 1.2 reply of `operation` with the result text, whose response
// element holds `tags` empty elements of `attributes` attributes each (a0=""
// a1="" ...) before the result; with `comment` the document begins with a
// comment, which the quick reader leaves to the full one.
inline std::string soapWithAttributes(std::string_view operation, std::size_t tags, std::size_t attributes, bool comment,
                                      std::string_view result = R"({"state":"successful"})") {
    std::string tag = "<t";
    for (std::size_t i = 0; i < attributes; ++i) tag += " a" + std::to_string(i) + "=\"\"";
    tag += "/>";
    std::string out = R"(<?xml version="1.0" encoding="utf-8"?>)";
    if (comment) out += "<!-- reply -->";
    out += R"(<soap:Envelope xmlns:soap="http://www.w3.org/2003/05/soap-envelope"><soap:Body><)";
    out.append(operation);
    out += R"(Response xmlns="http://tempuri.org/">)";
    out.reserve(out.size() + tags * tag.size() + result.size() + 128);
    for (std::size_t i = 0; i < tags; ++i) out += tag;
    out += "<";
    out.append(operation);
    out += "Result>";
    out.append(result);
    out += "</";
    out.append(operation);
    out += "Result></";
    out.append(operation);
    out += "Response></soap:Body></soap:Envelope>";
    return out;
}

// The same with tags of `attributes` attributes that come to about `bytes`.
inline std::string soapWithAttributesOf(std::string_view operation, std::size_t bytes, std::size_t attributes,
                                        bool comment) {
    const std::size_t tag = soapWithAttributes(operation, 1, attributes, false).size() -
                            soapWithAttributes(operation, 0, attributes, false).size();
    const std::size_t frame = soapWithAttributes(operation, 0, attributes, comment).size();
    return soapWithAttributes(operation, bytes > frame ? (bytes - frame) / tag : 0, attributes, comment);
}

}  // namespace hostile
