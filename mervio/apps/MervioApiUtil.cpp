#include "mervio/apps/MervioApiUtil.h"

#include <atomic>
#include <mutex>

#include "foundation/Format.h"
#include "foundation/PropertyList.h"
#include "foundation/Strings.h"
#include "mervio/RecordReader.h"
#include "uikit/Application.h"
#include "uikit/Device.h"
#include "uikit/Pasteboard.h"

namespace {

constexpr const char* kMervioScheme = "maiwei://";
constexpr const char* kSDKInfoPasteboard = "mervio_sdk_infomation";

// The version and the screen class, once asked (0 and -1 before).
std::atomic<double> cachedSystemVersion{0};
std::atomic<int> cachedScreenClass{-1};

std::mutex& queryMutex() {
    static std::mutex m;
    return m;
}

std::function<bool(const std::string&)>& canOpenURLQuery() {
    static std::function<bool(const std::string&)> query;
    return query;
}

constexpr char kEncodingTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of each character below 128; 0 for those outside the alphabet.
struct DecodingTable {
    std::uint8_t value[128] = {};
    DecodingTable() {
        for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kEncodingTable[i])] = static_cast<std::uint8_t>(i);
    }
};

const DecodingTable& decodingTable() {
    static const DecodingTable table;
    return table;
}

std::string encode(const std::uint8_t* in, std::size_t n) {
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        out += kEncodingTable[in[i] >> 2];
        out += kEncodingTable[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
        out += kEncodingTable[((in[i + 1] & 15) << 2) | (in[i + 2] >> 6)];
        out += kEncodingTable[in[i + 2] & 63];
    }
    if (n - i == 2) {
        out += kEncodingTable[in[i] >> 2];
        out += kEncodingTable[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
        out += kEncodingTable[(in[i + 1] & 15) << 2];
        out += '=';
    } else if (n - i == 1) {
        out += kEncodingTable[in[i] >> 2];
        out += kEncodingTable[(in[i] & 3) << 4];
        out += "==";
    }
    return out;
}

// The decoded bytes with the length the decoder reports; nullopt below 1.
std::optional<ns::Bytes> decode(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const DecodingTable& table = decodingTable();
    auto valueOf = [&table](char c) -> unsigned {
        auto u = static_cast<unsigned char>(c);
        return u < 128 ? table.value[u] : 0;
    };
    std::size_t groups = text.size() / 4;
    ns::Bytes out(groups * 3);
    for (std::size_t g = 0; g < groups; ++g) {
        unsigned c0 = valueOf(text[4 * g]), c1 = valueOf(text[4 * g + 1]), c2 = valueOf(text[4 * g + 2]),
                 c3 = valueOf(text[4 * g + 3]);
        out[3 * g] = static_cast<std::uint8_t>((c0 << 2) | (c1 >> 4));
        out[3 * g + 1] = static_cast<std::uint8_t>((c1 << 4) | (c2 >> 2));
        out[3 * g + 2] = static_cast<std::uint8_t>((c2 << 6) | c3);
    }
    std::size_t pad = 0;
    while (pad < text.size() && text[text.size() - 1 - pad] == '=') ++pad;
    if (pad >= out.size()) return std::nullopt;
    out.resize(out.size() - pad);
    return out;
}

}  // namespace

bool MervioApiUtil::isiOS7plus() {
    double version = cachedSystemVersion.load();
    if (version < 0.1) {
        version = ns::parseLeadingDouble(ui::Device::currentDevice().systemVersion());
        cachedSystemVersion.store(version);
    }
    return version > 6.9;
}

bool MervioApiUtil::is2xScreen() {
    int screenClass = cachedScreenClass.load();
    if (screenClass == -1) {
        auto scale = ui::Device::currentDevice().screenScale();
        screenClass = scale && *scale == 2.0 ? 2 : 1;
        cachedScreenClass.store(screenClass);
    }
    return screenClass > 1;
}

ns::Value MervioApiUtil::propertyListFromData(const std::optional<ns::Bytes>& data, bool* beyondLimits) {
    if (beyondLimits) *beyondLimits = false;
    if (!data) return {};
    if (data->size() > kMaxPropertyListBytes) {
        if (beyondLimits) *beyondLimits = true;
        return {};
    }
    ns::ErrorPtr error;
    ns::Value plist = ns::PropertyListSerialization::propertyListWithData(*data, nullptr, &error);
    if (beyondLimits && error) *beyondLimits = error->code == ns::kPropertyListReadBeyondLimitsError;
    return plist;
}

std::optional<ns::Bytes> MervioApiUtil::dataFromPropertyList(const ns::Value& plist) {
    if (plist.isNil()) return std::nullopt;
    ns::ErrorPtr discarded;
    auto data = ns::PropertyListSerialization::dataWithPropertyList(plist, ns::PropertyListFormat::Binary, &discarded);
    // A board no reader would take again: every app would lose its entry.
    if (data && data->size() > kMaxPropertyListBytes) return std::nullopt;
    return data;
}

std::optional<std::string> MervioApiUtil::getMervioUrl(const std::string& appId) {
    if (appId.empty()) return std::nullopt;
    return ns::format("maiwei://app/%@/", appId);
}

std::optional<std::string> MervioApiUtil::getMervioUrl_extraUrl(const std::string& appId, const std::string& extra) {
    auto base = getMervioUrl(appId);
    if (base && !extra.empty()) *base += extra;
    return base;
}

std::optional<std::string> MervioApiUtil::getAppUrl(const std::string& appId) {
    if (appId.empty()) return std::nullopt;
    return appId + "://";
}

bool MervioApiUtil::isAppOpenUrl(const std::string& url, const std::string& appId) {
    if (appId.empty()) return false;
    return ns::hasPrefix(url, appId + "://");
}

bool MervioApiUtil::isAppInstalledWithCatchException(const std::string& appId) {
    if (appId.empty()) return false;
    try {
        return canOpenURL(appId + "://");
    } catch (...) {
        return false;
    }
}

bool MervioApiUtil::isAppInstalledWithoutCatchException(const std::string& appId) {
    if (appId.empty()) return false;
    return canOpenURL(appId + "://");
}

bool MervioApiUtil::launchApp(const std::string& appId) {
    auto url = getAppUrl(appId);
    if (!url) return false;
    return ui::Application::sharedApplication().openURL(*url);
}

std::optional<std::string> MervioApiUtil::getAppUrlWithPlatformId(const std::string& appId) {
    if (appId.empty()) return std::nullopt;
    return appId + "://platformId=mervio";
}

std::optional<std::string> MervioApiUtil::getAppUrlWithPlatformId_withOtherArgs(const std::string& appId,
                                                                               const std::string& args) {
    auto url = getAppUrlWithPlatformId(appId);
    if (url && !args.empty()) *url += ns::format("/%@", args);
    return url;
}

bool MervioApiUtil::isMVAppSupportApi() { return canOpenURL(kMervioScheme); }

bool MervioApiUtil::canOpenURL(const std::string& url) {
    std::function<bool(const std::string&)> query;
    {
        std::lock_guard<std::mutex> lock(queryMutex());
        query = canOpenURLQuery();
    }
    if (query) return query(url);
    return ui::Application::sharedApplication().canOpenURL(url);
}

std::optional<std::string> MervioApiUtil::_internal_getSDKVersion() {
    auto board = ui::Pasteboard::pasteboardWithName(kSDKInfoPasteboard, false);
    if (!board) return std::nullopt;
    ns::Value info = propertyListFromData(board->dataForPasteboardType("content"));
    if (!info.isDictionary()) return std::nullopt;
    return mvrecord::text(info, "version");
}

std::string MervioApiUtil::getSDKVersion() {
    if (auto version = _internal_getSDKVersion()) return *version;
    return isMVAppSupportApi() ? "1.0" : "";
}

std::optional<std::string> MervioApiUtil::EncodeBase64(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return encode(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::optional<std::string> MervioApiUtil::NsDataEncodeBase64(const std::optional<ns::Bytes>& data) {
    if (!data || data->empty()) return std::nullopt;
    return encode(data->data(), data->size());
}

std::optional<ns::Bytes> MervioApiUtil::DecodeWithBase64(const std::string& text) { return decode(text); }

std::optional<std::string> MervioApiUtil::DecodeBase64(const std::string& text) {
    auto bytes = decode(text);
    if (!bytes) return std::nullopt;
    std::string_view raw(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    raw = raw.substr(0, raw.find('\0'));
    return ns::stringFromUTF8(raw);
}

void MervioApiUtil::resetCachesForTesting() {
    cachedSystemVersion.store(0);
    cachedScreenClass.store(-1);
}

void MervioApiUtil::setCanOpenURLForTesting(std::function<bool(const std::string& url)> query) {
    std::lock_guard<std::mutex> lock(queryMutex());
    canOpenURLQuery() = std::move(query);
}
