// A fake Mervio app, the SDK's peer in tests: it answers the "maiwei" scheme
// on the shared application, records and parses every URL it is asked to
// open, reads what the SDK leaves on the stand-in device's pasteboards and
// writes its own replies there. It reads and writes property lists with its
// own small codec on libplist, never through the SDK's records, so a test
// checks the SDK's wire format rather than restating it.
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

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "uikit/Application.h"
#include "uikit/Device.h"
#include "uikit/Pasteboard.h"

namespace testsupport {

// A property-list value as the peer reads it: texts, numbers, data, arrays
// and dictionaries; other kinds read as None.
struct PeerValue {
    enum class Kind { None, Text, Integer, Real, Boolean, Data, Array, Dictionary };
    Kind kind = Kind::None;
    std::string text;
    std::int64_t integer = 0;
    double real = 0;
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

    // ---- The codec ----
    // Any property list (binary or XML); None when the bytes are none.
    static PeerValue decode(const std::vector<std::uint8_t>& bytes) {
        if (bytes.empty()) return {};
        plist_t root = nullptr;
        plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &root);
        PeerValue v = fromNode(root);
        if (root) plist_free(root);
        return v;
    }
    static bool isBinary(const std::vector<std::uint8_t>& bytes) {
        return !bytes.empty() &&
               plist_is_binary(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    }
    // Binary property list.
    std::vector<std::uint8_t> encode() const {
        plist_t root = toNode();
        char* out = nullptr;
        uint32_t length = 0;
        plist_to_bin(root, &out, &length);
        std::vector<std::uint8_t> bytes(out, out + length);
        plist_to_bin_free(out);
        plist_free(root);
        return bytes;
    }

private:
    static PeerValue fromNode(plist_t node) {
        PeerValue v;
        if (!node) return v;
        switch (plist_get_node_type(node)) {
            case PLIST_STRING: {
                char* s = nullptr;
                plist_get_string_val(node, &s);
                v = PeerValue(std::string(s ? s : ""));
                std::free(s);
                break;
            }
            case PLIST_UINT: {
                uint64_t u = 0;
                plist_get_uint_val(node, &u);
                v.kind = Kind::Integer;
                v.integer = static_cast<std::int64_t>(u);
                break;
            }
            case PLIST_REAL:
                v.kind = Kind::Real;
                plist_get_real_val(node, &v.real);
                break;
            case PLIST_BOOLEAN: {
                uint8_t b = 0;
                plist_get_bool_val(node, &b);
                v.kind = Kind::Boolean;
                v.integer = b;
                break;
            }
            case PLIST_DATA: {
                char* d = nullptr;
                uint64_t n = 0;
                plist_get_data_val(node, &d, &n);
                v = bytes(std::vector<std::uint8_t>(d, d + n));
                std::free(d);
                break;
            }
            case PLIST_ARRAY:
                v.kind = Kind::Array;
                for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
                    v.array.push_back(fromNode(plist_array_get_item(node, i)));
                break;
            case PLIST_DICT: {
                v.kind = Kind::Dictionary;
                plist_dict_iter it = nullptr;
                plist_dict_new_iter(node, &it);
                for (;;) {
                    char* key = nullptr;
                    plist_t item = nullptr;
                    plist_dict_next_item(node, it, &key, &item);
                    if (!item) break;
                    v.dictionary[key ? key : ""] = fromNode(item);
                    std::free(key);
                }
                std::free(it);
                break;
            }
            default: break;
        }
        return v;
    }

    plist_t toNode() const {
        switch (kind) {
            case Kind::Text: return plist_new_string(text.c_str());
            case Kind::Integer: return plist_new_uint(static_cast<uint64_t>(integer));
            case Kind::Real: return plist_new_real(real);
            case Kind::Boolean: return plist_new_bool(integer ? 1 : 0);
            case Kind::Data: return plist_new_data(reinterpret_cast<const char*>(data.data()), data.size());
            case Kind::Array: {
                plist_t node = plist_new_array();
                for (const auto& item : array) plist_array_append_item(node, item.toNode());
                return node;
            }
            case Kind::Dictionary:
            case Kind::None: {
                plist_t node = plist_new_dict();
                for (const auto& [key, item] : dictionary) plist_dict_set_item(node, key.c_str(), item.toNode());
                return node;
            }
        }
        return plist_new_dict();
    }
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
