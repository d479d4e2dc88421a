// Addresses outside the service operations. They live on the service's own
// host (its scheme, host and port), so one endpoint setting moves them all.
#pragma once

#include <string>

namespace AppLinks {

// "http://host:port" of the service endpoint in force.
std::string webHost();
// The fixed page of the regional party-building tile.
std::string regionalPartyBuildingPage();
// The over-the-air install link of a new version.
std::string installLink();

// The Mervio app's page in the App Store, where the public-account page
// sends a member who has not installed it.
inline constexpr const char* kMervioStorePage = "https://itunes.apple.com/cn/app/id910000001?mt=8";

inline constexpr const char* kRegionalPartyBuildingPath = "/html/ganbugongzuo/ganbugongzuodongtai/2013/1009/28.html";
inline constexpr const char* kInstallManifestPath = "/download/Kestrowline.plist";

}  // namespace AppLinks
