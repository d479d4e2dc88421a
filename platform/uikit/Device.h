// The device the program runs on, as the phone describes itself: system name
// and version, model, hardware identifier, the vendor identifier, the main
// screen, the mobile carrier, the time zone, network interfaces and Wi-Fi,
// and the few system files some code looks for.
//
//   auto& device = ui::Device::currentDevice();
//   if (ns::parseLeadingDouble(device.systemVersion()) > 6.9) ...
//   std::string ifv = device.identifierForVendor();     // kept in the device store
//   auto scale = device.screenScale();                  // nullopt: the screen has no scale
//
// On Linux the answers are: system "iPhone OS" "7.0", model "iPhone", the
// machine field of uname, a vendor identifier made once and kept in the
// device store (DeviceStore.h), the main screen (Window.h), no carrier, the
// process's time zone, the host's interfaces with the one wifiInterfaceIndex
// picks named "en0" (and that one standing for the Wi-Fi network, its host
// name as SSID, its hardware address as BSSID), and an empty file view: the
// host's own files are never looked at. Every answer has a test setter;
// resetForTesting returns to these defaults. Thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "uikit/Geometry.h"

namespace ui {

struct NetworkInterface {
    std::string name;                               // "en0", "lo", ...
    std::optional<std::string> ipv4;                // dotted address
    bool loopback = false;
    std::optional<std::array<std::uint8_t, 6>> mac; // link-level address
    bool up = true;
};

// Which of the host's interfaces stands for the phone's "en0" (its Wi-Fi):
// the first one up, not a loopback, with an IPv4 address and a hardware
// address; else the first one up, not a loopback, with a hardware address
// (an address of zeros is none). nullopt when none is.
std::optional<std::size_t> wifiInterfaceIndex(const std::vector<NetworkInterface>& host);

// The subscriber's cellular provider's codes.
struct CarrierCodes {
    std::string mobileCountryCode;
    std::string mobileNetworkCode;
};

// The current Wi-Fi network of an interface.
struct WiFiNetworkInfo {
    std::string ssid;
    std::string bssid;
};

class Device {
public:
    static Device& currentDevice();

    std::string systemName() const;     // "iPhone OS"
    std::string systemVersion() const;  // "7.0"
    std::string model() const;          // "iPhone"
    std::string machine() const;        // uname's machine field ("x86_64")
    // identifierForVendor: one UUID text per device store, made when first
    // asked. One that cannot be written there (a full disk) is said in a log
    // line naming the file and the reason, and answers for the rest of the
    // process.
    std::string identifierForVendor() const;

    Rect screenBounds() const;
    // The main screen's scale; nullopt when the screen does not answer the
    // scale query (older systems).
    std::optional<double> screenScale() const;

    std::optional<CarrierCodes> carrier() const;
    std::string timeZoneName() const;

    std::vector<NetworkInterface> interfaces() const;
    // The interfaces that can carry Wi-Fi ("en0" when there is one).
    std::vector<std::string> supportedNetworkInterfaces() const;
    // The Wi-Fi network on one of them; nullopt when none.
    std::optional<WiFiNetworkInfo> currentNetworkInfo(const std::string& interfaceName) const;

    // The device's file view: YES only for the paths a test placed.
    bool fileExistsAtPath(const std::string& path) const;

    // ---- Test setters ----
    void setSystemName(const std::string& name);
    void setSystemVersion(const std::string& version);
    void setModel(const std::string& model);
    void setMachine(const std::string& machine);
    void setIdentifierForVendor(const std::string& identifier);
    void setScreenAnswersScale(bool answers);
    void setCarrier(std::optional<CarrierCodes> carrier);
    void setTimeZoneName(const std::string& name);
    // The device's interfaces as they are answered, "en0" included.
    void setInterfaces(std::vector<NetworkInterface> interfaces);
    // The host's interfaces as the system would list them: "en0" and the
    // Wi-Fi network are picked from them as from the real ones.
    void setHostInterfaces(std::vector<NetworkInterface> interfaces);
    void setCurrentNetworkInfo(std::optional<WiFiNetworkInfo> info);
    void setFileExists(const std::string& path, bool exists);
    void resetForTesting();

private:
    Device() = default;
};

}  // namespace ui
