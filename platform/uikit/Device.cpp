#include "uikit/Device.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/utsname.h>

#include <cstdio>
#include <mutex>
#include <utility>

#include "foundation/Data.h"
#include "foundation/DateTime.h"
#include "foundation/Log.h"
#include "uikit/DeviceStore.h"
#include "uikit/Window.h"

namespace ui {

namespace {

constexpr const char* kVendorFile = "identifierForVendor";

struct Settings {
    std::optional<std::string> systemName, systemVersion, model, machine, identifierForVendor, timeZoneName;
    // The device file and the vendor identifier made for it that could not be written there.
    std::optional<std::pair<std::string, std::string>> unkeptVendor;
    bool screenAnswersScale = true;
    std::optional<CarrierCodes> carrier;
    std::optional<std::vector<NetworkInterface>> interfaces;
    std::optional<std::vector<NetworkInterface>> hostInterfaces;
    std::optional<std::optional<WiFiNetworkInfo>> networkInfo;
    std::set<std::string> files;
};

std::mutex& settingsMutex() {
    static std::mutex m;
    return m;
}

Settings& settings() {
    static Settings s;
    return s;
}

template <typename T>
T read(T Settings::*member) {
    std::lock_guard<std::mutex> lock(settingsMutex());
    return settings().*member;
}

template <typename T, typename V>
void write(T Settings::*member, V value) {
    std::lock_guard<std::mutex> lock(settingsMutex());
    settings().*member = std::move(value);
}

std::string formatMAC(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

// The host's interfaces in the order the system lists them.
std::vector<NetworkInterface> systemInterfaces() {
    std::vector<NetworkInterface> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    auto entryFor = [&out](const char* name) -> NetworkInterface& {
        for (auto& i : out)
            if (i.name == name) return i;
        out.push_back(NetworkInterface{name, std::nullopt, false, std::nullopt, false});
        return out.back();
    };
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_name) continue;
        NetworkInterface& entry = entryFor(a->ifa_name);
        if (a->ifa_flags & IFF_LOOPBACK) entry.loopback = true;
        entry.up = (a->ifa_flags & IFF_UP) != 0;
        if (!a->ifa_addr) continue;
        if (a->ifa_addr->sa_family == AF_INET && !entry.ipv4) {
            char text[INET_ADDRSTRLEN] = {};
            auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) entry.ipv4 = text;
        } else if (a->ifa_addr->sa_family == AF_PACKET) {
            auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            if (ll->sll_halen == 6) {
                std::array<std::uint8_t, 6> mac{};
                for (int i = 0; i < 6; ++i) mac[i] = ll->sll_addr[i];
                entry.mac = mac;
            }
        }
    }
    ::freeifaddrs(list);
    return out;
}

std::vector<NetworkInterface> hostInterfaces() {
    if (auto set = read(&Settings::hostInterfaces)) return *set;
    return systemInterfaces();
}

bool hasHardwareAddress(const NetworkInterface& i) {
    return i.mac && *i.mac != std::array<std::uint8_t, 6>{};
}

}  // namespace

std::optional<std::size_t> wifiInterfaceIndex(const std::vector<NetworkInterface>& host) {
    auto first = [&](bool withIPv4) -> std::optional<std::size_t> {
        for (std::size_t at = 0; at < host.size(); ++at) {
            const NetworkInterface& i = host[at];
            if (i.up && !i.loopback && hasHardwareAddress(i) && (!withIPv4 || i.ipv4)) return at;
        }
        return std::nullopt;
    };
    if (auto found = first(true)) return found;
    return first(false);
}

Device& Device::currentDevice() {
    static Device device;
    return device;
}

std::string Device::systemName() const { return read(&Settings::systemName).value_or("iPhone OS"); }
std::string Device::systemVersion() const { return read(&Settings::systemVersion).value_or("7.0"); }
std::string Device::model() const { return read(&Settings::model).value_or("iPhone"); }

std::string Device::machine() const {
    if (auto set = read(&Settings::machine)) return *set;
    utsname names{};
    if (::uname(&names) != 0) return {};
    return names.machine;
}

std::string Device::identifierForVendor() const {
    std::lock_guard<std::mutex> lock(settingsMutex());
    if (settings().identifierForVendor) return *settings().identifierForVendor;
    const std::string folder = deviceStoreDirectory();
    const std::string path = folder + "/" + kVendorFile;
    // One this process made and could not keep answers for the rest of it.
    if (settings().unkeptVendor && settings().unkeptVendor->first == path) return settings().unkeptVendor->second;
    // Programs of the device asking at once agree on one.
    DeviceStoreLock storeLock(folder, true);
    if (auto kept = ns::readFile(path)) {
        std::string text(kept->begin(), kept->end());
        if (text.size() == 36) return text;
    }
    std::string made = ns::uuidString();
    ns::ErrorPtr error;
    if (!ns::writeFileAtomically(path, made, &error)) {
        ns::NSLog("Device: cannot write %@", error->localizedDescription());  // the file and the reason
        settings().unkeptVendor = {path, made};
    }
    return made;
}

Rect Device::screenBounds() const { return Screen::mainScreen().bounds(); }

std::optional<double> Device::screenScale() const {
    if (!read(&Settings::screenAnswersScale)) return std::nullopt;
    return Screen::mainScreen().scale();
}

std::optional<CarrierCodes> Device::carrier() const { return read(&Settings::carrier); }

std::string Device::timeZoneName() const {
    if (auto set = read(&Settings::timeZoneName)) return *set;
    return ns::timeZoneName();
}

std::vector<NetworkInterface> Device::interfaces() const {
    if (auto set = read(&Settings::interfaces)) return *set;
    std::vector<NetworkInterface> list = hostInterfaces();
    if (auto wifi = wifiInterfaceIndex(list)) list[*wifi].name = "en0";
    return list;
}

std::vector<std::string> Device::supportedNetworkInterfaces() const {
    for (const auto& i : interfaces())
        if (i.name == "en0") return {"en0"};
    return {};
}

std::optional<WiFiNetworkInfo> Device::currentNetworkInfo(const std::string& interfaceName) const {
    if (interfaceName != "en0") return std::nullopt;
    if (auto set = read(&Settings::networkInfo)) return *set;
    if (read(&Settings::interfaces)) return std::nullopt;  // a test's interfaces carry no network
    // The interface that is "en0" stands for the Wi-Fi network: its name is
    // the network's name, its hardware address the station's.
    std::vector<NetworkInterface> list = hostInterfaces();
    std::optional<std::size_t> wifi = wifiInterfaceIndex(list);
    if (!wifi) return std::nullopt;
    const NetworkInterface& i = list[*wifi];
    return WiFiNetworkInfo{i.name, formatMAC(*i.mac)};
}

bool Device::fileExistsAtPath(const std::string& path) const {
    std::lock_guard<std::mutex> lock(settingsMutex());
    return settings().files.count(path) != 0;
}

void Device::setSystemName(const std::string& name) { write(&Settings::systemName, std::optional<std::string>(name)); }
void Device::setSystemVersion(const std::string& version) {
    write(&Settings::systemVersion, std::optional<std::string>(version));
}
void Device::setModel(const std::string& model) { write(&Settings::model, std::optional<std::string>(model)); }
void Device::setMachine(const std::string& machine) { write(&Settings::machine, std::optional<std::string>(machine)); }
void Device::setIdentifierForVendor(const std::string& identifier) {
    write(&Settings::identifierForVendor, std::optional<std::string>(identifier));
}
void Device::setScreenAnswersScale(bool answers) { write(&Settings::screenAnswersScale, answers); }
void Device::setCarrier(std::optional<CarrierCodes> carrier) { write(&Settings::carrier, std::move(carrier)); }
void Device::setTimeZoneName(const std::string& name) {
    write(&Settings::timeZoneName, std::optional<std::string>(name));
}
void Device::setInterfaces(std::vector<NetworkInterface> interfaces) {
    write(&Settings::interfaces, std::optional<std::vector<NetworkInterface>>(std::move(interfaces)));
}
void Device::setHostInterfaces(std::vector<NetworkInterface> interfaces) {
    write(&Settings::hostInterfaces, std::optional<std::vector<NetworkInterface>>(std::move(interfaces)));
}
void Device::setCurrentNetworkInfo(std::optional<WiFiNetworkInfo> info) {
    write(&Settings::networkInfo, std::optional<std::optional<WiFiNetworkInfo>>(std::move(info)));
}

void Device::setFileExists(const std::string& path, bool exists) {
    std::lock_guard<std::mutex> lock(settingsMutex());
    if (exists)
        settings().files.insert(path);
    else
        settings().files.erase(path);
}

void Device::resetForTesting() {
    std::lock_guard<std::mutex> lock(settingsMutex());
    settings() = Settings{};
}

}  // namespace ui
