#include "mervio/reporter/MVOMSAHelper.h"

#include <nettle/arcfour.h>
#include <zlib.h>

#include <climits>
#include <cstdio>
#include <new>
#include <vector>

#include "foundation/Bundle.h"
#include "foundation/DateTime.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "foundation/UserDefaults.h"
#include "mervio/reporter/MVOMSAKeyChain.h"
#include "mervio/reporter/MVOMSAReporterLinks.h"
#include "mervio/reporter/MVOMSAShareUDID.h"
#include "mervio/RecordReader.h"
#include "service/JSON.h"
#include "uikit/Device.h"
#include "uikit/Pasteboard.h"

namespace {

constexpr std::uint64_t kIndexWrapAbove = 9223372036854775807ull - 10000ull;

std::atomic<std::uint64_t> eventIndex{0};

std::mutex& instanceMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<MVOMSAHelper>& instance() {
    static std::shared_ptr<MVOMSAHelper> helper;
    return helper;
}

std::string appVersion() {
    auto bundle = ns::Bundle::mainBundle();
    for (const char* key : {"CFBundleShortVersionString", "CFBundleVersion"}) {
        ns::Value v = bundle->objectForInfoDictionaryKey(key);
        if (v.isString() && !v.str().empty()) return v.str();
    }
    return "unknown";
}

// The company keychain item: a dictionary, or nil (another kind counts as missing).
ns::Value companyItem() {
    ns::Value item = MVOMSAKeyChain::load(MVOMSAPasteboard::getCompanyDomain());
    return item.isDictionary() ? item : ns::Value();
}

// ---- The interface's link-level address, step by step ----

// One interface's record in the routing table: its name, then its six
// address bytes.
struct InterfaceMessage {
    char name[16] = {};
    std::uint8_t address[6] = {};
};

// if_nametoindex over the device's interfaces: 1-based, 0 when absent.
unsigned interfaceIndex(const std::vector<ui::NetworkInterface>& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return static_cast<unsigned>(i + 1);
    return 0;
}

// The routing table's answer for an interface index: its size, or the
// message itself; false when the table has no link-level record for it.
bool routeTableQuery(unsigned index, InterfaceMessage* out, std::size_t* size) {
    std::vector<ui::NetworkInterface> list = ui::Device::currentDevice().interfaces();
    if (index == 0 || index > list.size()) return false;
    const ui::NetworkInterface& entry = list[index - 1];
    if (size) *size = sizeof(InterfaceMessage);
    if (!out) return true;
    if (!entry.mac) return false;
    std::snprintf(out->name, sizeof out->name, "%s", entry.name.c_str());
    for (int i = 0; i < 6; ++i) out->address[i] = (*entry.mac)[static_cast<std::size_t>(i)];
    return true;
}

// Feeds the whole input to a zlib stream and calls `step` while it answers
// OK, the output buffer growing by `growth` whenever it is full. The last
// answer of `step`.
template <typename Step>
int run(z_stream& stream, const ns::Bytes& input, ns::Bytes& buffer, std::size_t growth, Step step) {
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (stream.total_out >= buffer.size()) buffer.resize(buffer.size() + growth);
        stream.next_out = buffer.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(buffer.size() - stream.total_out);
        rc = step();
    }
    return rc;
}

}  // namespace

// ---- The singleton ----

MVOMSAHelper::MVOMSAHelper() {
    auto& device = ui::Device::currentDevice();
    env_.platform = device.systemName();
    env_.os_version = device.systemVersion();
    if (ns::compareNumeric(env_.os_version, "6.0") >= 0) env_.ifv = device.identifierForVendor();
    env_.devicename = device.machine();
    env_.modulename = device.model();
    for (const char* path : {"/bin/bash", "/Applications/Cydia.app", "/private/var/lib/apt"})
        env_.jailbroken = env_.jailbroken || device.fileExistsAtPath(path);
    env_.timezone = device.timeZoneName();
    ui::Rect bounds = device.screenBounds();
    double scale = device.screenScale().value_or(1.0);
    env_.resolution = ns::format("%.fx%.f", bounds.size.width * scale, bounds.size.height * scale);

    if (auto kept = getShareUDID()) {
        env_.deviceid = *kept;
    } else {
        env_.deviceid = MVOMSAShareUDID::value();
        saveShareUDID(env_.deviceid);
    }

    ns::Value language = ns::UserDefaults::standardUserDefaults()->arrayForKey("AppleLanguages").at(0);
    if (language.isString()) env_.language = language.str();
    if (auto carrier = device.carrier()) env_.mccmnc = carrier->mobileCountryCode + carrier->mobileNetworkCode;
    env_.app_version = appVersion();
    env_.sdk_version = kSDKVersion;
}

std::shared_ptr<MVOMSAHelper> MVOMSAHelper::getInstance() {
    std::lock_guard lock(instanceMutex());
    if (!instance()) instance() = std::shared_ptr<MVOMSAHelper>(new MVOMSAHelper());
    return instance();
}

void MVOMSAHelper::resetForTesting() {
    {
        std::lock_guard lock(instanceMutex());
        instance().reset();
    }
    eventIndex.store(0);
}

std::optional<MVOMSAUser> MVOMSAHelper::getUser() {
    auto storage = MVOMSAReporterLinks::userStorage();
    std::lock_guard lock(userMutex_);
    if (!user_) {
        if (storage) user_ = storage->loadUser();
        if (!user_) return std::nullopt;
    }
    auto now = static_cast<std::uint32_t>(ns::now().seconds);
    std::uint32_t tag = user_->tagTime;
    std::int32_t type = user_->userType;
    // Only the day of the year counts: a date a year later is the same day.
    if (now > tag && ns::dateComponents(ns::Date{static_cast<double>(now)}).dayOfYear !=
                         ns::dateComponents(ns::Date{static_cast<double>(tag)}).dayOfYear)
        user_->userType = 1;
    if (user_->appVer != env_.app_version) {
        user_->userType |= 2;
        user_->appVer = env_.app_version;
    }
    if (user_->userType != type) {
        user_->tagTime = now;
        if (storage) storage->storeUser(*user_);
    }
    return user_;
}

std::string MVOMSAHelper::fetchSSIDInfo() const {
    std::string ssid = "Not Found", bssid = "Not Found";
    auto& device = ui::Device::currentDevice();
    std::vector<std::string> names = device.supportedNetworkInterfaces();
    if (!names.empty()) {
        if (auto info = device.currentNetworkInfo(names.front())) {
            ssid = info->ssid;
            bssid = info->bssid;
        }
    }
    return getJson(ns::Value::dictionary({{"ss", ns::Value(ssid)}, {"bs", ns::Value(bssid)}}));
}

std::string MVOMSAHelper::getMid() const {
    std::optional<std::string> mid = MVOMSAPasteboard::get("psDeviceToken");
    return mid && !mid->empty() ? *mid : "0";
}

void MVOMSAHelper::saveMid(const std::string& mid) const { MVOMSAPasteboard::set("psDeviceToken", mid); }

std::string MVOMSAHelper::getJson(const ns::Value& object) const {
    if (!isValidJSONObject(object)) return {};
    return JSONRepresentation(object);
}

std::optional<std::string> MVOMSAHelper::getPSDeviceToken() const { return mvrecord::text(companyItem(), "pstoken"); }

// ---- Codecs ----

void mvomsa::rc4(ns::Bytes& data, std::string_view key) {
    if (key.size() < ARCFOUR_MIN_KEY_SIZE || key.size() > ARCFOUR_MAX_KEY_SIZE || data.empty()) return;
    arcfour_ctx ctx;
    arcfour_set_key(&ctx, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
    arcfour_crypt(&ctx, data.size(), data.data(), data.data());
}

void MVOMSAHelper::ChiperRC4(ns::Bytes& data) { mvomsa::rc4(data, kRC4Key); }

int MVOMSAHelper::GZip(const ns::Bytes& data, ns::Bytes* out) {
    if (!out || data.empty() || data.size() > UINT_MAX) return -1;
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) return -1;
    constexpr std::size_t kStep = 8192;
    ns::Bytes buffer(kStep);
    int rc = run(stream, data, buffer, kStep, [&] { return deflate(&stream, Z_FINISH); });
    std::size_t written = stream.total_out;
    deflateEnd(&stream);
    // Only a finished stream is a gzip body; anything else would go out cut short.
    if (rc != Z_STREAM_END) return -1;
    buffer.resize(written);
    *out = std::move(buffer);
    return 0;
}

int MVOMSAHelper::GUnzip(const ns::Bytes& data, ns::Bytes* out) {
    if (!out || data.empty() || data.size() > UINT_MAX) return -1;
    z_stream stream{};
    if (inflateInit2(&stream, 47) != Z_OK) return -1;
    std::size_t half = data.size() / 2;
    ns::Bytes buffer(data.size() + half);
    int rc = run(stream, data, buffer, half, [&] { return inflate(&stream, Z_SYNC_FLUSH); });
    std::size_t written = stream.total_out;
    if (inflateEnd(&stream) != Z_OK || rc != Z_STREAM_END) return -1;
    buffer.resize(written);
    *out = std::move(buffer);
    return 0;
}

// ---- Device queries ----

std::string MVOMSAHelper::getMacAddress() {
    unsigned index = interfaceIndex(ui::Device::currentDevice().interfaces(), "en0");
    if (index == 0) return "if_nametoindex failure";
    std::size_t size = 0;
    if (!routeTableQuery(index, nullptr, &size)) return "sysctl mgmtInfoBase failure";
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]);
    if (!buffer) return "buffer allocation failure";
    InterfaceMessage message;
    if (size < sizeof message || !routeTableQuery(index, &message, nullptr)) return "sysctl msgBuffer failure";
    const std::uint8_t* a = message.address;
    return ns::format("%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
}

bool MVOMSAHelper::isWiFiAvailable() {
    for (const auto& i : ui::Device::currentDevice().interfaces())
        if (i.name == "en0" && i.ipv4 && !i.loopback) return true;
    return false;
}

std::optional<std::string> MVOMSAHelper::getShareUDID() { return mvrecord::text(companyItem(), "msashareudid"); }

void MVOMSAHelper::saveShareUDID(const std::string& udid) {
    if (udid.empty()) return;
    // The item also holds the push token the reporter reads: keep it.
    ns::Value item = companyItem();
    if (item.isNil()) item = ns::Value::dictionary();
    item.set("msashareudid", ns::Value(udid));
    MVOMSAKeyChain::save(MVOMSAPasteboard::getCompanyDomain(), item);
}

// ---- The event index ----

std::uint64_t MVOMSAHelper::currentIndex() { return eventIndex.load(); }

void MVOMSAHelper::setCurrentIndex(std::uint64_t index) {
    if (index != 0) eventIndex.store(index);
}

std::uint64_t MVOMSAHelper::nextEventIndex() {
    std::uint64_t current = eventIndex.load();
    std::uint64_t next;
    do {
        next = current > kIndexWrapAbove ? 1 : current + 1;
    } while (!eventIndex.compare_exchange_weak(current, next));
    return next;
}

// ---- The company pasteboard ----

bool MVOMSAPasteboard::set(const std::string& key, const std::string& value) {
    ui::PasteboardPtr board = ui::Pasteboard::pasteboardWithName(getCompanyDomain(), true);
    return board && board->setPersistent(true) && board->setValue(ns::Value(value), key);
}

std::optional<std::string> MVOMSAPasteboard::get(const std::string& key) {
    ui::PasteboardPtr board = ui::Pasteboard::pasteboardWithName(getCompanyDomain(), false);
    if (!board) return std::nullopt;
    std::optional<ns::Bytes> data = board->dataForPasteboardType(key);
    if (!data) return std::nullopt;
    return ns::stringFromUTF8(*data);
}

std::string MVOMSAPasteboard::getCompanyDomain() {
    std::string identifier = ns::Bundle::mainBundle()->bundleIdentifier();
    std::size_t dot = identifier.rfind('.');
    return dot == std::string::npos ? identifier : identifier.substr(0, dot);
}
