// A fake Mervio app, the SDK's peer in tests: it answers the "maiwei" scheme
// on the shared application, records and parses every URL it is asked to
// open, reads what the SDK leaves on the stand-in device's pasteboards and
// writes its own replies there. It reads and writes binary property lists
// with its own small codec, never through the SDK's records or the
// platform's property lists, so a test checks the SDK's wire format rather
// than restating it.
//
//   testsupport::FakeMessenger mervio;                  // installed: "maiwei://..." opens
//   MVApi::sendReq(req);
//   mervio.opened().back().action;                      // "sendreq/"
//   PeerValue record = mervio.record(appId);            // what the SDK left for the app
//   mervio.replyRecord(appId, PeerValue::dict({{"command", "2010"}, {"result", "0"}}));
//   mervio.returnTo(appId, "platformId=mervio");        // opens "<app id>://platformId=mervio"
//   mervio.uninstall();                                  // "maiwei" no longer opens
//
// The road (a record on the general pasteboard from iOS 7 on, else on
// "mervio_data" with file data on "mervio_file") follows the device's
// system version, as the real app's would.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Strings.h"
#include "uikit/Application.h"
#include "uikit/Device.h"
#include "uikit/Pasteboard.h"

namespace testsupport {

// A property-list value as the peer reads it: texts (any characters, NUL
// included), numbers, dates (seconds since 2001-01-01), data, arrays and
// dictionaries; other kinds read as None.
struct PeerValue {
    enum class Kind { None, Text, Integer, Real, Boolean, Date, Data, Array, Dictionary };
    Kind kind = Kind::None;
    std::string text;
    std::int64_t integer = 0;
    double real = 0;  // reals, and dates
    std::vector<std::uint8_t> data;
    std::vector<PeerValue> array;
    std::map<std::string, PeerValue> dictionary;

    PeerValue() = default;
    PeerValue(const char* t) : kind(Kind::Text), text(t) {}
    PeerValue(std::string t) : kind(Kind::Text), text(std::move(t)) {}
    static PeerValue bytes(std::vector<std::uint8_t> d) {
        PeerValue v;
        v.kind = Kind::Data;
        v.data = std::move(d);
        return v;
    }
    static PeerValue date(double sinceReferenceDate) {
        PeerValue v;
        v.kind = Kind::Date;
        v.real = sinceReferenceDate;
        return v;
    }
    static PeerValue dict(std::initializer_list<std::pair<const std::string, PeerValue>> entries = {}) {
        PeerValue v;
        v.kind = Kind::Dictionary;
        v.dictionary = entries;
        return v;
    }

    bool isNone() const { return kind == Kind::None; }
    bool has(const std::string& key) const { return dictionary.count(key) > 0; }
    const PeerValue& operator[](const std::string& key) const {
        static const PeerValue none;
        auto it = dictionary.find(key);
        return it == dictionary.end() ? none : it->second;
    }
    std::vector<std::string> keys() const {
        std::vector<std::string> out;
        for (const auto& [k, v] : dictionary) out.push_back(k);
        return out;
    }

    // ---- The codec: binary property lists, written plainly (every object
    // once per place, four-byte offsets and references) ----
    // None when the bytes are no binary property list.
    static PeerValue decode(const std::vector<std::uint8_t>& bytes) {
        if (!isBinary(bytes) || bytes.size() < 40) return {};
        const std::uint8_t* trailer = bytes.data() + bytes.size() - 32;
        BinaryIn in{bytes, trailer[6], trailer[7], number(trailer + 8, 8), number(trailer + 24, 8)};
        return in.object(number(trailer + 16, 8), 0);
    }
    static bool isBinary(const std::vector<std::uint8_t>& bytes) {
        return bytes.size() >= 8 && std::string(bytes.begin(), bytes.begin() + 8) == "bplist00";
    }
    std::vector<std::uint8_t> encode() const {
        std::vector<std::vector<std::uint8_t>> objects;
        put(objects);
        std::vector<std::uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        std::vector<std::uint64_t> offsets;
        for (const auto& o : objects) {
            offsets.push_back(out.size());
            out.insert(out.end(), o.begin(), o.end());
        }
        std::uint64_t table = out.size();
        for (auto off : offsets) append(out, off, 4);
        out.insert(out.end(), {0, 0, 0, 0, 0, 0, 4, 4});
        append(out, objects.size(), 8);
        append(out, 0, 8);
        append(out, table, 8);
        return out;
    }

private:
    static std::uint64_t number(const std::uint8_t* p, std::size_t n) {
        std::uint64_t v = 0;
        while (n--) v = v << 8 | *p++;
        return v;
    }
    static void append(std::vector<std::uint8_t>& out, std::uint64_t v, int n) {
        while (n--) out.push_back(static_cast<std::uint8_t>(v >> (8 * n)));
    }
    static void head(std::vector<std::uint8_t>& out, std::uint8_t type, std::uint64_t count) {
        if (count < 15) {
            out.push_back(static_cast<std::uint8_t>(type | count));
        } else {
            out.push_back(static_cast<std::uint8_t>(type | 0xF));
            out.push_back(0x13);
            append(out, count, 8);
        }
    }

    // Appends this value's object (and those it holds) and gives its number.
    std::uint64_t put(std::vector<std::vector<std::uint8_t>>& objects) const {
        std::uint64_t self = objects.size();
        objects.emplace_back();
        std::vector<std::uint8_t> o;
        switch (kind) {
            case Kind::Text: {
                bool ascii = true;
                for (unsigned char c : text) ascii = ascii && c < 0x80;
                if (ascii) {
                    head(o, 0x50, text.size());
                    o.insert(o.end(), text.begin(), text.end());
                } else {
                    std::u16string units = ns::toUTF16(text);
                    head(o, 0x60, units.size());
                    for (char16_t u : units) append(o, u, 2);
                }
                break;
            }
            case Kind::Integer: o.push_back(0x13); append(o, static_cast<std::uint64_t>(integer), 8); break;
            case Kind::Real:
            case Kind::Date:
                o.push_back(kind == Kind::Real ? 0x23 : 0x33);
                append(o, std::bit_cast<std::uint64_t>(real), 8);
                break;
            case Kind::Boolean: o.push_back(integer ? 0x09 : 0x08); break;
            case Kind::Data:
                head(o, 0x40, data.size());
                o.insert(o.end(), data.begin(), data.end());
                break;
            case Kind::Array: {
                std::vector<std::uint64_t> refs;
                for (const auto& item : array) refs.push_back(item.put(objects));
                head(o, 0xA0, refs.size());
                for (auto r : refs) append(o, r, 4);
                break;
            }
            case Kind::Dictionary:
            case Kind::None: {
                std::vector<std::uint64_t> keys, values;
                for (const auto& [key, item] : dictionary) {
                    keys.push_back(PeerValue(key).put(objects));
                    values.push_back(item.put(objects));
                }
                head(o, 0xD0, keys.size());
                for (auto r : keys) append(o, r, 4);
                for (auto r : values) append(o, r, 4);
                break;
            }
        }
        objects[self] = std::move(o);
        return self;
    }

    struct BinaryIn {
        const std::vector<std::uint8_t>& bytes;
        unsigned offsetSize, refSize;
        std::uint64_t count, table;

        bool fits(std::uint64_t at, std::uint64_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }

        PeerValue object(std::uint64_t index, int depth) const {
            PeerValue v;
            if (index >= count || depth > 64 || !fits(table + index * offsetSize, offsetSize)) return v;
            std::uint64_t at = number(&bytes[table + index * offsetSize], offsetSize);
            if (!fits(at, 1)) return v;
            std::uint8_t marker = bytes[at++];
            std::uint64_t n = marker & 0xF;
            if ((marker >> 4) >= 4 && (marker >> 4) != 8 && n == 0xF) {
                if (!fits(at, 1)) return v;
                std::uint64_t size = std::uint64_t{1} << (bytes[at++] & 0x3);
                if (!fits(at, size)) return v;
                n = number(&bytes[at], size);
                at += size;
            }
            auto ref = [&](std::uint64_t i) { return number(&bytes[at + i * refSize], refSize); };
            switch (marker >> 4) {
                case 0x0:
                    if (marker == 0x08 || marker == 0x09) {
                        v.kind = Kind::Boolean;
                        v.integer = marker == 0x09;
                    }
                    break;
                case 0x1:
                    if (n <= 3 && fits(at, std::uint64_t{1} << n)) {
                        v.kind = Kind::Integer;
                        v.integer = static_cast<std::int64_t>(number(&bytes[at], std::size_t{1} << n));
                    }
                    break;
                case 0x2:
                case 0x3:
                    if (fits(at, 8) && (marker == 0x23 || marker == 0x33)) {
                        v.kind = marker == 0x23 ? Kind::Real : Kind::Date;
                        v.real = std::bit_cast<double>(number(&bytes[at], 8));
                    }
                    break;
                case 0x4:
                    if (fits(at, n)) v = PeerValue::bytes(std::vector<std::uint8_t>(bytes.begin() + at, bytes.begin() + at + n));
                    break;
                case 0x5:
                    if (fits(at, n)) v = PeerValue(std::string(bytes.begin() + at, bytes.begin() + at + n));
                    break;
                case 0x6:
                    if (fits(at, 2 * n)) {
                        std::u16string units;
                        for (std::uint64_t i = 0; i < n; ++i) units.push_back(static_cast<char16_t>(number(&bytes[at + 2 * i], 2)));
                        v = PeerValue(ns::fromUTF16(units));
                    }
                    break;
                case 0xA:
                    if (fits(at, n * refSize)) {
                        v.kind = Kind::Array;
                        for (std::uint64_t i = 0; i < n; ++i) v.array.push_back(object(ref(i), depth + 1));
                    }
                    break;
                case 0xD:
                    if (fits(at, 2 * n * refSize)) {
                        v.kind = Kind::Dictionary;
                        for (std::uint64_t i = 0; i < n; ++i)
                            v.dictionary[object(ref(i), depth + 1).text] = object(ref(n + i), depth + 1);
                    }
                    break;
                default: break;
            }
            return v;
        }
    };
};

class FakeMessenger {
public:
    // A URL opened in the fake: "maiwei://app/<appId>/<action>?<query>".
    struct Opened {
        std::string url;
        std::string appId;
        std::string action;                         // "sendreq/", "auth/", "" for the bare app URL
        std::string query;                          // as it came
        std::map<std::string, std::string> params;  // the query's pieces, not decoded
    };

    explicit FakeMessenger(bool installed = true) {
        if (installed) install();
    }
    ~FakeMessenger() { uninstall(); }
    FakeMessenger(const FakeMessenger&) = delete;
    FakeMessenger& operator=(const FakeMessenger&) = delete;

    void install() {
        ui::Application::sharedApplication().registerURLScheme("maiwei", [this](const std::string& url) {
            opened_.push_back(parse(url));
            return true;
        });
        installed_ = true;
    }
    void uninstall() {
        if (installed_) ui::Application::sharedApplication().unregisterURLScheme("maiwei");
        installed_ = false;
    }

    const std::vector<Opened>& opened() const { return opened_; }
    void clearOpened() { opened_.clear(); }

    // ---- What the SDK leaves ----
    // The app's entry on "mervio_register" (None when there is none).
    static PeerValue registration(const std::string& appId) { return registrations()[appId]; }
    static PeerValue registrations() { return PeerValue::decode(content(kRegisterBoard)); }
    // The record left for Mervio under the app id, on the board of the road.
    static PeerValue record(const std::string& appId) { return PeerValue::decode(recordContent())[appId]; }
    static std::vector<std::uint8_t> recordContent() { return iOS7() ? generalContent() : content(kDataBoard); }
    // Before iOS 7, the file data beside the record.
    static std::vector<std::uint8_t> fileContent() { return content(kFileBoard); }

    // ---- Its answers ----
    // Leaves {app id: record} as "content" on the board of the road (and the
    // file data on "mervio_file" before iOS 7, inside the record after).
    static void replyRecord(const std::string& appId, PeerValue record, const std::vector<std::uint8_t>& file = {}) {
        if (iOS7()) {
            if (!file.empty()) record.dictionary["fileData"] = PeerValue::bytes(file);
            ui::Pasteboard::generalPasteboard()->setData(PeerValue::dict({{appId, record}}).encode(), "content");
            return;
        }
        auto data = ui::Pasteboard::pasteboardWithName(kDataBoard, true);
        data->setPersistent(true);
        data->setData(PeerValue::dict({{appId, record}}).encode(), "content");
        auto files = ui::Pasteboard::pasteboardWithName(kFileBoard, true);
        files->setPersistent(true);
        files->setData(file, "content");
    }
    // Opens "<app id>://<rest>" as Mervio returns to the app.
    static bool returnTo(const std::string& appId, const std::string& rest) {
        return ui::Application::sharedApplication().openURL(appId + "://" + rest);
    }

    static bool iOS7() { return std::atof(ui::Device::currentDevice().systemVersion().c_str()) > 6.9; }

    static constexpr const char* kRegisterBoard = "mervio_register";
    static constexpr const char* kDataBoard = "mervio_data";
    static constexpr const char* kFileBoard = "mervio_file";

private:
    static std::vector<std::uint8_t> content(const std::string& board) {
        auto b = ui::Pasteboard::pasteboardWithName(board, false);
        auto bytes = b ? b->dataForPasteboardType("content") : std::nullopt;
        return bytes ? std::vector<std::uint8_t>(bytes->begin(), bytes->end()) : std::vector<std::uint8_t>();
    }
    static std::vector<std::uint8_t> generalContent() {
        auto bytes = ui::Pasteboard::generalPasteboard()->dataForPasteboardType("content");
        return bytes ? std::vector<std::uint8_t>(bytes->begin(), bytes->end()) : std::vector<std::uint8_t>();
    }

    static Opened parse(const std::string& url) {
        Opened o;
        o.url = url;
        const std::string head = "maiwei://app/";
        if (url.rfind(head, 0) != 0) return o;
        std::string rest = url.substr(head.size());
        std::size_t slash = rest.find('/');
        o.appId = rest.substr(0, slash);
        if (slash == std::string::npos) return o;
        rest = rest.substr(slash + 1);
        std::size_t mark = rest.find('?');
        o.action = rest.substr(0, mark);
        if (mark == std::string::npos) return o;
        o.query = rest.substr(mark + 1);
        std::size_t at = 0;
        while (at <= o.query.size()) {
            std::size_t amp = o.query.find('&', at);
            std::string piece = o.query.substr(at, amp == std::string::npos ? std::string::npos : amp - at);
            std::size_t eq = piece.find('=');
            if (eq != std::string::npos) o.params[piece.substr(0, eq)] = piece.substr(eq + 1);
            if (amp == std::string::npos) break;
            at = amp + 1;
        }
        return o;
    }

    std::vector<Opened> opened_;
    bool installed_ = false;
};

}  // namespace testsupport
