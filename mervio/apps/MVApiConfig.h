// Where the SDK's pages live: Mervio's open-platform pages (the web
// authorisation) and the Mervio app's page on the App Store.
#pragma once

namespace mvconfig {

// Mervio's open-platform pages: scheme and host, no trailing slash.
inline constexpr const char* kOpenPlatformHost = "https://open.mervio.invalid";
inline constexpr const char* kMobileCheckPath = "/oauth/mobilecheck";
inline constexpr const char* kSmsAuthorizePath = "/oauth/smsauthorize";

// The Mervio app on the App Store.
inline constexpr const char* kAppStoreHost = "https://itunes.apple.com";
inline constexpr const char* kAppStorePath = "/cn/app/id910000001";
inline constexpr const char* kAppStoreQuery = "mt=8";

}  // namespace mvconfig
