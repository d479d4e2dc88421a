// The statistics reporter's utilities. The singleton builds the device
// environment once, keeps the reporting user and decides its type, and holds
// the switch that allows tracking; the class methods give the upload's
// codecs (RC4, gzip), the device's MAC address text, a Wi-Fi test, the
// device identifier in the company's keychain item, and the process-wide
// event index.
//
//   auto helper = MVOMSAHelper::getInstance();
//   const MVOMSAEnv& env = helper->getEnv();
//   ns::Bytes body = ...;  MVOMSAHelper::ChiperRC4(body);    // in place, both ways
//   ns::Bytes packed;  if (MVOMSAHelper::GZip(body, &packed) == 0) ...
//
// The company domain is the bundle identifier without its last component
// ("gov.velmarsh.kestrowline" gives "gov.velmarsh"); it names the keychain
// item {"msashareudid", "pstoken"} and the pasteboard holding "psDeviceToken"
// (MVOMSAPasteboard) that the company's apps share. Both come from other
// apps: values of another kind than text count as missing.
//
// Thread-safe: the singleton is made once, the user record is locked, the
// event index is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Value.h"
#include "mervio/reporter/MVOMSARecords.h"

class MVOMSAHelper {
public:
    static constexpr const char* kSDKVersion = "1.4.6";
    // The RC4 key of report bodies and replies: these 32 characters, as
    // their ASCII bytes.
    static constexpr const char* kRC4Key = "5f3c9a07e1b24d68a0c7f2e91b6d3a45";

    static std::shared_ptr<MVOMSAHelper> getInstance();

    const MVOMSAEnv& getEnv() const { return env_; }
    // The user record after the user rule, or none when the store gives none.
    std::optional<MVOMSAUser> getUser();
    // {"ss": <Wi-Fi network name>, "bs": <its BSSID>} as JSON text, both
    // "Not Found" without network information.
    std::string fetchSSIDInfo() const;

    bool MSAEnableFlag() const { return enabled_.load(); }
    void setMSAEnableFlag(bool enabled) { enabled_.store(enabled); }
    bool checkMSAEnable() const { return MSAEnableFlag(); }

    // "psDeviceToken" of the company pasteboard; "0" when absent or empty.
    std::string getMid() const;
    void saveMid(const std::string& mid) const;
    // Compact JSON text of a dictionary or array; "" for anything else.
    std::string getJson(const ns::Value& object) const;
    // "pstoken" of the company keychain item.
    std::optional<std::string> getPSDeviceToken() const;

    // RC4 with kRC4Key, in place; the same call deciphers.
    static void ChiperRC4(ns::Bytes& data);
    // 0 and the gzip form in `out`; -1 (out untouched) for no out, empty
    // data or a compression that fails.
    static int GZip(const ns::Bytes& data, ns::Bytes* out);
    // 0 and the inflated bytes of a zlib or gzip stream; -1 (out untouched)
    // for no out, empty data or a stream that does not end cleanly.
    static int GUnzip(const ns::Bytes& data, ns::Bytes* out);
    // "XX:XX:XX:XX:XX:XX" of interface "en0", or the text of the step that
    // failed: "if_nametoindex failure", "sysctl mgmtInfoBase failure",
    // "buffer allocation failure", "sysctl msgBuffer failure".
    static std::string getMacAddress();
    // YES when "en0" has an IPv4 address and is not a loopback.
    static bool isWiFiAvailable();
    // "msashareudid" of the company keychain item.
    static std::optional<std::string> getShareUDID();
    // Sets "msashareudid" of the company keychain item (an empty text does
    // nothing); the item's other keys stay.
    static void saveShareUDID(const std::string& udid);

    // The number of the last event made in this process (0 before any).
    static std::uint64_t currentIndex();
    // Sets it; 0 is ignored.
    static void setCurrentIndex(std::uint64_t index);
    // Gives the next event its number, atomically: 1 after an index above
    // 2^63 - 1 - 10000, else the current index plus 1; it becomes current.
    static std::uint64_t nextEventIndex();

    // Tests: the next getInstance() builds a fresh singleton (environment
    // and user); the event index returns to 0.
    static void resetForTesting();

    MVOMSAHelper(const MVOMSAHelper&) = delete;
    MVOMSAHelper& operator=(const MVOMSAHelper&) = delete;

private:
    MVOMSAHelper();

    MVOMSAEnv env_;
    std::mutex userMutex_;
    std::optional<MVOMSAUser> user_;
    std::atomic<bool> enabled_{false};
};

// The company's shared pasteboard of texts.
class MVOMSAPasteboard {
public:
    // Puts the text under the key (as the board's type) on the company
    // pasteboard, made persistent: true when the board was kept so.
    static bool set(const std::string& key, const std::string& value);
    // The text under the key; none when absent or not UTF-8.
    static std::optional<std::string> get(const std::string& key);
    static std::string getCompanyDomain();
};

namespace mvomsa {
// RC4 (no key-stream bytes dropped) of the data in place, with the key's
// bytes (1 to 256 of them; another length leaves the data as it is).
void rc4(ns::Bytes& data, std::string_view key);
}  // namespace mvomsa
