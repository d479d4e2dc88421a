#include "app/shell/AppLinks.h"

#include "service/ServiceConfig.h"

namespace AppLinks {

std::string webHost() {
    std::string endpoint = ServiceConfig::endpoint();
    auto scheme = endpoint.find("://");
    std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    auto pathStart = endpoint.find('/', hostStart);
    return pathStart == std::string::npos ? endpoint : endpoint.substr(0, pathStart);
}

std::string regionalPartyBuildingPage() { return webHost() + kRegionalPartyBuildingPath; }

std::string installLink() {
    return "itms-services://?action=download-manifest&url=" + webHost() + kInstallManifestPath;
}

}  // namespace AppLinks
