// The time and peak memory of one read by the service's readers and the XML
// document model of a reply laid out to cost more than its size
// (tests/support/HostileReplies.h). A measuring tool, not a benchmark: each
// family is one read.
//
//   build/release/bench/reader_peak json-keys [megabytes]
//   build/release/bench/reader_peak all
//
// Without a size, each family is made at the bound, or at a size of its own
// (a member record of 100,000 keys, one tag of 100,000 attributes).
//
// Prints the text's size, what the read gave, the seconds it took (elapsed,
// and the CPU time it used), and how much this process's peak resident size
// grew while it read (the text itself made before the peak is reset).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchHome.h"
#include "PeakTool.h"
#include "app/shell/Utils.h"
#include "datalibs/NSXMLDocument.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "service/JSON.h"
#include "service/SoapXmlParseHelper.h"
#include "support/HostileReplies.h"

namespace {

constexpr std::size_t kBound = 32u << 20;

// What one read gave, in a few words.
using Read = std::function<std::string(const std::string&)>;

std::string describe(const ns::Value& v) {
    if (v.isArray()) return "array of " + std::to_string(v.count());
    if (v.isDictionary()) return "object of " + std::to_string(v.count());
    return v.isNil() ? "refused" : "a value";
}

std::string readJSON(const std::string& text) { return describe(JSONValue(text)); }

// The member record of the login's reply, parsed before the measure, stored
// as the login stores it.
std::string saveMember(const std::string& text) {
    static ns::Value member;
    if (text.empty()) {
        Utils::saveUserWithMemberData(member, "1");
        member = {};
        const ns::Value stored = ns::UserDefaults::standardUserDefaults()->dictionaryForKey(Utils::kMemberDicKey);
        return "stored " + std::to_string(stored.count()) + " keys";
    }
    member = JSONValue(text)["records"].at(0);
    return {};
}

std::string soapResult(const std::string& text) {
    auto result = SoapXmlParseHelper::findResultText(text, "GetSign");
    return result ? "result of " + std::to_string(result->size()) : "refused";
}

std::string xmlDocument(const std::string& text) {
    auto doc = NSXMLDocument::initWithXMLString(text, 0);
    return doc ? "document" : "refused";
}

// About `bytes` of text, or with 0 the bound.
std::size_t orBound(std::size_t bytes) { return bytes ? bytes : kBound - 4096; }

// The attributes of one tag that make about `bytes` (" a12345=\"\"" each);
// 100,000 by default.
std::size_t attributes(std::size_t bytes) {
    if (bytes == 0) return 100000;
    std::size_t count = 0, size = 300;
    for (std::size_t digits = 1, first = 0, next = 10; size < bytes; ++digits, first = next, next *= 10) {
        const std::size_t each = 5 + digits, here = next - first, room = (bytes - size) / each;
        count += std::min(room, here);
        size += std::min(room, here) * each;
        if (room < here) break;
    }
    return count;
}

struct Family {
    const char* name;
    std::function<std::string(std::size_t)> make;  // about that many bytes; 0: the family's default
    Read read;
    bool prepared = false;  // read(text) prepares, read("") is measured
};

const std::vector<Family>& families() {
    using hostile::soapWithAttributes;
    using hostile::soapWithAttributesOf;
    static const std::vector<Family> all = {
        {"json-keys", [](std::size_t b) { return hostile::jsonManyKeys(orBound(b)); }, readJSON},
        {"json-empty-strings", [](std::size_t b) { return hostile::jsonRepeated("\"\"", orBound(b)); }, readJSON},
        {"json-zeros", [](std::size_t b) { return hostile::jsonRepeated("0", orBound(b)); }, readJSON},
        {"json-empty-objects", [](std::size_t b) { return hostile::jsonRepeated("{}", orBound(b)); }, readJSON},
        // 100,000 keys, or as many as the size holds.
        {"member-record", [](std::size_t b) { return hostile::memberReply(b ? b / 22 : 100000); }, saveMember, true},
        // One tag of 100,000 attributes, or as many as the size holds.
        {"soap-quick", [](std::size_t b) { return soapWithAttributes("GetSign", 1, attributes(b), false); }, soapResult},
        {"soap-full", [](std::size_t b) { return soapWithAttributes("GetSign", 1, attributes(b), true); }, soapResult},
        {"xml-attributes", [](std::size_t b) { return soapWithAttributes("GetSign", 1, attributes(b), false); },
         xmlDocument},
        // Tags of as many attributes as a tag may carry, up to the size.
        {"soap-quick-tags", [](std::size_t b) { return soapWithAttributesOf("GetSign", orBound(b), 1024, false); },
         soapResult},
        {"soap-full-tags", [](std::size_t b) { return soapWithAttributesOf("GetSign", orBound(b), 1024, true); },
         soapResult},
        {"xml-tags", [](std::size_t b) { return soapWithAttributesOf("GetSign", orBound(b), 1024, false); },
         xmlDocument},
        // Tags of one attribute each: the most nodes a document of its size holds.
        {"xml-small-tags", [](std::size_t b) { return soapWithAttributesOf("GetSign", orBound(b), 1, false); },
         xmlDocument},
    };
    return all;
}

void measure(const Family& family, std::size_t bytes) {
    std::string text = family.make(bytes);
    const std::size_t size = text.size();
    if (family.prepared) {
        family.read(text);
        text.clear();
        text.shrink_to_fit();
    }
    std::string outcome;
    const peaktool::Cost cost = peaktool::measured([&] { outcome = family.read(text); });
    std::printf("%-19s %6.2f MB  %-24s %s\n", family.name, size / 1e6, outcome.c_str(), peaktool::describe(cost).c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    BenchHome home;
    ns::LogCapture quiet(ns::LogCapture::Echo::No, [](std::string_view) { return false; });  // refusals' lines
    // 0: each family's own default size.
    return peaktool::run(argc, argv, "reader_peak", "family", "families", families(), measure, 0);
}
