// The SDK's toolbox: system-version and screen tests, property lists to and
// from bytes, the URLs that reach the Mervio app and the app's own scheme,
// install checks, the Mervio app's SDK version, and Base64.
//
//   if (MervioApiUtil::isiOS7plus()) ...                       // read once per process
//   auto url = MervioApiUtil::getMervioUrl_extraUrl(appId, "sendreq/?");   // "maiwei://app/<id>/sendreq/?"
//   ns::Value plist = MervioApiUtil::propertyListFromData(board->dataForPasteboardType("content"));
//
// App ids are texts; the empty id stands for none (no URL, NO).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "foundation/Value.h"

class MervioApiUtil {
public:
    // YES from system version 7 on (the leading number of the version text,
    // above 6.9). The version is read once and kept.
    static bool isiOS7plus();
    // YES when the main screen's scale is exactly 2.0 (a screen without a
    // scale counts as 1). Asked once and kept.
    static bool is2xScreen();

    // Any property-list format; nil for no data, bytes that are not a
    // property list, or more than kMaxPropertyListBytes. `beyondLimits`, when
    // given, tells the last apart: a list larger or deeper than the readers
    // take, or XML in an encoding the system's converters do not know, which
    // this program cannot read but need not be damaged.
    static ns::Value propertyListFromData(const std::optional<ns::Bytes>& data, bool* beyondLimits = nullptr);
    // Binary property list (version 1.0); nullopt for nil, what a property
    // list cannot hold, or more than kMaxPropertyListBytes (which
    // propertyListFromData would not read back).
    static std::optional<ns::Bytes> dataFromPropertyList(const ns::Value& plist);

    // "maiwei://app/<id>/", and the same with `extra` appended when it is
    // not empty.
    static std::optional<std::string> getMervioUrl(const std::string& appId);
    static std::optional<std::string> getMervioUrl_extraUrl(const std::string& appId, const std::string& extra);
    // "<id>://", the app's own scheme.
    static std::optional<std::string> getAppUrl(const std::string& appId);
    // YES when the URL begins with "<id>://".
    static bool isAppOpenUrl(const std::string& url, const std::string& appId);
    // Whether the system can open "<id>://"; a query that throws gives NO.
    static bool isAppInstalledWithCatchException(const std::string& appId);
    // The same query, letting what it throws pass.
    static bool isAppInstalledWithoutCatchException(const std::string& appId);
    // Opens getAppUrl of the id; the system's answer.
    static bool launchApp(const std::string& appId);
    // "<id>://platformId=mervio", then "/" and the arguments when there are any.
    static std::optional<std::string> getAppUrlWithPlatformId(const std::string& appId);
    static std::optional<std::string> getAppUrlWithPlatformId_withOtherArgs(const std::string& appId,
                                                                            const std::string& args);
    // Whether the system can open "maiwei://".
    static bool isMVAppSupportApi();
    // Whether the system can open the URL (the test's stand-in when one is set).
    static bool canOpenURL(const std::string& url);

    // The "version" text the Mervio app leaves on the pasteboard
    // "mervio_sdk_infomation" (type "content"); nullopt at any missing step.
    static std::optional<std::string> _internal_getSDKVersion();
    // That version; else "1.0" when Mervio can be opened; else "".
    static std::string getSDKVersion();

    // Base64 (standard alphabet, "=" padding) of the text's UTF-8 bytes or
    // of data; nullopt for empty input.
    static std::optional<std::string> EncodeBase64(const std::string& text);
    static std::optional<std::string> NsDataEncodeBase64(const std::optional<ns::Bytes>& data);
    // Decodes whole groups of four characters without validation: "=" and
    // every character outside the alphabet (bytes of 128 and up too) count
    // as 0, a trailing part group is ignored, and every final "=" takes one
    // byte off the length. nullopt when no byte is left.
    static std::optional<ns::Bytes> DecodeWithBase64(const std::string& text);
    // The same bytes read as text up to the first NUL; nullopt when they are
    // not UTF-8.
    static std::optional<std::string> DecodeBase64(const std::string& text);

    static constexpr std::size_t kMaxPropertyListBytes = 32u << 20;

    // Tests: forget the kept version and screen class; stand a query in for
    // the system's can-open-URL question (nullptr: the system's again).
    static void resetCachesForTesting();
    static void setCanOpenURLForTesting(std::function<bool(const std::string& url)> query);
};
