// Our property lists against Python's plistlib on random documents of a fixed
// seed, both ways: what plistlib writes (containers held in several places;
// XML at times crafted as other writers write it: UTF-16, an 8-bit encoding
// its declaration names, hexadecimal integers, CR LF or CR line ends, reals
// too small for a double), we read and write again in binary and XML, and
// plistlib reads back what it wrote (XML: dates to the second, UIDs as
// {"CF$UID": n}, and refused where XML cannot hold a string); what we write
// in either form, plistlib reads and writes again in binary, and we read
// back what we wrote. One python3 process per batch.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "foundation/PropertyList.h"
#include "foundation/Strings.h"
#include "support/Plistlib.h"

using namespace ns;

namespace {

constexpr int kSeed = 20150301;
constexpr int kDocuments = 1500;

std::string hex(std::uint64_t bits) {
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(bits));
    return buffer;
}

// A kind's letter and the text after it.
std::string tagged(char tag, const std::string& text) {
    std::string out(1, tag);
    out += text;
    return out;
}

// The value as text that tells every kind and bit apart (after XML: any NaN
// alike, dates to the second), for comparing round trips and showing them.
std::string canonical(const Value& v, bool xml) {
    switch (v.kind()) {
        case Value::Kind::Bool: return v.boolValue() ? "true" : "false";
        case Value::Kind::Integer: return tagged(v.isUnsigned() ? 'u' : 'i', std::to_string(v.integerValue()));
        case Value::Kind::Double:
            if (xml && std::isnan(v.doubleValue())) return "nan";
            return tagged('r', hex(std::bit_cast<std::uint64_t>(v.doubleValue())));
        case Value::Kind::Date:
            if (xml) return tagged('d', std::to_string(static_cast<long long>(std::floor(v.timeIntervalSinceReferenceDate()))));
            return tagged('d', hex(std::bit_cast<std::uint64_t>(v.timeIntervalSinceReferenceDate())));
        case Value::Kind::String: {
            std::string out = "\"";
            for (unsigned char c : v.str()) {
                if (c < 0x20 || c == '"' || c == '\\') {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
            }
            return out + "\"";
        }
        case Value::Kind::Data: {
            std::string out = "<";
            for (std::uint8_t b : v.data()) out += hex(b).substr(14);
            return out + ">";
        }
        case Value::Kind::Array: {
            std::string out = "(";
            for (const auto& item : v.items()) out += canonical(item, xml) + ",";
            return out + ")";
        }
        case Value::Kind::Dictionary: {
            std::string out = "{";
            for (const auto& [key, item] : v.entries()) out += canonical(Value(key), xml) + "=" + canonical(item, xml) + ";";
            return out + "}";
        }
        default: return "?";
    }
}

// True when XML cannot hold some string or key of the value.
bool holdsNoXML(const Value& v) {
    auto bad = [](const std::string& s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            auto c = static_cast<unsigned char>(s[i]);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
            if (s.compare(i, 3, "\xEF\xBF\xBE") == 0 || s.compare(i, 3, "\xEF\xBF\xBF") == 0) return true;
        }
        return false;
    };
    if (v.isString()) return bad(v.str());
    for (const auto& item : v.items())
        if (holdsNoXML(item)) return true;
    for (const auto& [key, item] : v.entries())
        if (bad(key) || holdsNoXML(item)) return true;
    return false;
}

// Random documents of every kind and edge the formats have.
class RandomDocuments {
public:
    explicit RandomDocuments(unsigned seed) : r_(seed) {}

    Value document() { return pick(3) == 0 ? value(0) : dictionary(1); }

private:
    std::size_t pick(std::size_t n) { return static_cast<std::size_t>(r_() % n); }

    std::string text(std::size_t most) {
        std::string out;
        for (std::size_t n = pick(most + 1); n > 0; --n) {
            switch (pick(8)) {
                case 0:
                case 1: out += "abcXYZ019 &<>\"'$_-.;=(){}"[pick(26)]; break;
                case 2: out += "\t\n\r"[pick(3)]; break;
                case 3: appendUTF8(out, std::u32string{0, 1, 0x0B, 0x1F, 0x7F, 0xFFFE, 0xFFFF}[pick(7)]); break;
                case 4: appendUTF8(out, static_cast<char32_t>(0x10000 + pick(0x100000))); break;
                case 5: appendUTF8(out, static_cast<char32_t>(0x80 + pick(0xD800 - 0x80))); break;
                default: appendUTF8(out, static_cast<char32_t>(0x4E00 + pick(0x51A5))); break;
            }
        }
        return out;
    }

    Value date() {
        // Whole seconds of the years 1 to 9999, or microseconds within 2^32 s
        // of 2001 (where a double holds each one), as plistlib keeps them.
        constexpr long long kFirst = -63113904000, kLast = 252423993599;
        if (pick(2) == 0)
            return Value::dateSinceReferenceDate(static_cast<double>(kFirst + static_cast<long long>(r_() % (kLast - kFirst))));
        auto micros = static_cast<long long>(r_() % (2 * 4294967295000000ULL)) - 4294967295000000LL;
        return Value::dateSinceReferenceDate(static_cast<double>(micros) / 1e6);
    }

    Value scalar() {
        switch (pick(12)) {
            case 0:
            case 1: return Value(text(8));
            case 2: return Value(static_cast<long long>(r_()) >> pick(64));
            case 3: return Value(static_cast<unsigned long long>(r_() | (1ULL << 63)));
            case 4: {
                // No 0.0 beside -0.0: plistlib takes them for one object.
                const double special[] = {1.0, -0.0, std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                          5e-324, 0.1, 1e300};
                return Value(special[pick(8)]);
            }
            case 5: {
                double d = std::bit_cast<double>(r_());
                return Value(std::isnan(d) ? 1.5 : d);
            }
            case 6: return Value(pick(2) == 0);
            case 7:
            case 8: return date();
            case 9: {
                Bytes b(pick(40));
                for (auto& x : b) x = static_cast<std::uint8_t>(r_());
                return Value(std::move(b));
            }
            case 10: return Value(Date{std::floor(static_cast<double>(static_cast<long long>(r_() % 8000000000ULL)) - 4e9)});
            default: {
                unsigned long long n = pick(3) == 0 ? r_() : pick(3) == 0 ? (1ULL << 32) + pick(3) - 1 : pick(300);
                return Value::dictionary({{kPropertyListUIDKey, Value(n)}});
            }
        }
    }

    Value dictionary(int depth) {
        Value d = Value::dictionary();
        for (std::size_t n = pick(6); n > 0; --n) d.set(text(5), value(depth + 1));
        if (pick(4) == 0) {  // two keys that differ only in a line end
            d.set("a\rb", value(depth + 1));
            d.set("a\nb", value(depth + 1));
        }
        if (depth > 1 && pick(5) == 0) shared_ = d;
        return d;
    }

    Value value(int depth) {
        std::size_t k = pick(20);
        if (depth < 4 && k < 3) {
            Value a = Value::array();
            for (std::size_t n = pick(6); n > 0; --n) a.push(value(depth + 1));
            if (pick(5) == 0) shared_ = a;
            return a;
        }
        if (depth < 4 && k < 7) return dictionary(depth);
        if (k == 7 && !shared_.isNil() && shared_.count() < 4) return shared_;  // held in two places
        return scalar();
    }

    std::mt19937_64 r_;
    Value shared_;
};

}  // namespace

TEST(PlistlibDifferential, WhatPlistlibWritesWeReadAndWriteBack) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    testsupport::Plistlib peer("differential-in");
    const std::string args = std::to_string(kSeed) + " " + std::to_string(kDocuments);
    auto made = peer.runTool("docs " + args + " docs.blobs");
    ASSERT_EQ(made.status, 0) << made.output;
    auto documents = peer.readBlobs("docs.blobs");
    ASSERT_EQ(documents.size(), 2u * kDocuments);

    std::vector<Bytes> ours;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        ErrorPtr error;
        PropertyListFormat format{};
        Value v = PropertyListSerialization::propertyListWithData(documents[i], &format, &error);
        ASSERT_FALSE(v.isNil()) << "document " << i / 2 << ": " << (error ? error->localizedDescription() : "");
        EXPECT_EQ(format, i % 2 == 0 ? PropertyListFormat::Binary : PropertyListFormat::XML);
        for (auto again : {PropertyListFormat::Binary, PropertyListFormat::XML})
            ours.push_back(PropertyListSerialization::dataWithPropertyList(v, again).value_or(Bytes()));
    }
    peer.writeBlobs("ours.blobs", ours);
    auto checked = peer.runTool("check " + args + " ours.blobs");
    EXPECT_EQ(checked.status, 0) << checked.output;
}

TEST(PlistlibDifferential, WhatWeWritePlistlibReadsAndWritesBack) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    testsupport::Plistlib peer("differential-out");
    RandomDocuments random(kSeed);
    struct Sent {
        Value value;
        bool xml;
    };
    std::vector<Sent> sent;
    std::vector<Bytes> written;
    for (int i = 0; i < kDocuments; ++i) {
        Value doc = random.document();
        auto binary = PropertyListSerialization::dataWithPropertyList(doc, PropertyListFormat::Binary);
        ASSERT_TRUE(binary) << canonical(doc, false);
        sent.push_back({doc, false});
        written.push_back(*binary);
        auto xml = PropertyListSerialization::dataWithPropertyList(doc, PropertyListFormat::XML);
        ASSERT_EQ(xml.has_value(), !holdsNoXML(doc)) << canonical(doc, false);
        if (!xml) continue;
        sent.push_back({doc, true});
        written.push_back(*xml);
    }
    peer.writeBlobs("ours.blobs", written);
    auto echoed = peer.runTool("echo ours.blobs back.blobs");
    ASSERT_EQ(echoed.status, 0) << echoed.output;
    auto back = peer.readBlobs("back.blobs");
    ASSERT_EQ(back.size(), sent.size());

    int mismatches = 0;
    for (std::size_t i = 0; i < back.size() && mismatches < 10; ++i) {
        const std::string form = sent[i].xml ? "XML" : "binary";
        const std::string expected = canonical(sent[i].value, sent[i].xml);
        ASSERT_FALSE(back[i].empty());
        if (back[i][0] != 1) {
            ++mismatches;
            ADD_FAILURE() << "plistlib cannot read our " << form << ": " << std::string(back[i].begin() + 1, back[i].end())
                          << "\n  " << expected;
            continue;
        }
        Value read = PropertyListSerialization::propertyListWithData(Bytes(back[i].begin() + 1, back[i].end()));
        if (canonical(read, sent[i].xml) != expected) {
            ++mismatches;
            ADD_FAILURE() << "our " << form << " through plistlib:\n  " << canonical(read, sent[i].xml) << "\n  sent "
                          << expected;
        }
    }
}
