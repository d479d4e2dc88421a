// The device-info provider: Linux defaults, the vendor identifier kept in the
// device store, and the test setters.
#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "foundation/DateTime.h"
#include "uikit/Application.h"
#include "uikit/Device.h"
#include "uikit/DeviceStore.h"
#include "uikit/Window.h"

namespace {

class DeviceTest : public testing::Test {
protected:
    void SetUp() override { ui::Application::resetForTesting(); }
    void TearDown() override {
        ui::setDeviceStoreDirectory("");
        ui::Application::resetForTesting();
    }
    ui::Device& device = ui::Device::currentDevice();
};

}  // namespace

TEST_F(DeviceTest, LinuxDefaults) {
    EXPECT_EQ(device.systemName(), "iPhone OS");
    EXPECT_EQ(device.systemVersion(), "7.0");
    EXPECT_EQ(device.model(), "iPhone");
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_EQ(device.machine(), names.machine);
    EXPECT_EQ(device.screenBounds().size.width, ui::Screen::mainScreen().bounds().size.width);
    EXPECT_EQ(device.screenScale(), 2.0);
    EXPECT_FALSE(device.carrier());
    EXPECT_EQ(device.timeZoneName(), ns::timeZoneName());
    for (const char* path : {"/bin/bash", "/Applications/Cydia.app", "/private/var/lib/apt"})
        EXPECT_FALSE(device.fileExistsAtPath(path)) << "the host's files are never asked: " << path;

    // The first interface that is not a loopback is "en0", and the Wi-Fi one.
    bool sawEn0 = false;
    for (const auto& i : device.interfaces()) {
        if (i.name == "en0") {
            EXPECT_FALSE(i.loopback);
            sawEn0 = true;
        }
    }
    if (sawEn0) {
        EXPECT_EQ(device.supportedNetworkInterfaces(), std::vector<std::string>{"en0"});
        auto info = device.currentNetworkInfo("en0");
        ASSERT_TRUE(info);
        EXPECT_FALSE(info->ssid.empty());
        EXPECT_TRUE(std::regex_match(info->bssid, std::regex("([0-9a-f]{2}:){5}[0-9a-f]{2}"))) << info->bssid;
    }
    EXPECT_FALSE(device.currentNetworkInfo("lo"));
}

TEST_F(DeviceTest, TheVendorIdentifierIsMadeOnceAndKeptInTheDeviceStore) {
    std::string first = device.identifierForVendor();
    EXPECT_TRUE(std::regex_match(first, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
        << first;
    EXPECT_EQ(device.identifierForVendor(), first);
    device.resetForTesting();
    EXPECT_EQ(device.identifierForVendor(), first) << "read back from the store";

    const char* home = std::getenv("KL_HOME");
    auto other = std::filesystem::path(home ? home : "/tmp") / "other-device";
    ui::setDeviceStoreDirectory(other.string());
    EXPECT_NE(device.identifierForVendor(), first) << "another device";
}

TEST_F(DeviceTest, EveryAnswerHasATestSetter) {
    device.setSystemName("iOS");
    device.setSystemVersion("6.1");
    device.setModel("iPhone Simulator");
    device.setMachine("iPhone6,2");
    device.setIdentifierForVendor("00000000-0000-4000-8000-000000000000");
    device.setScreenAnswersScale(false);
    device.setCarrier(ui::CarrierCodes{"460", "00"});
    device.setTimeZoneName("Europe/Paris");
    device.setInterfaces({ui::NetworkInterface{"lo0", "127.0.0.1", true, std::nullopt},
                          ui::NetworkInterface{"en0", "192.168.1.2", false, std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6}}});
    device.setCurrentNetworkInfo(ui::WiFiNetworkInfo{"office", "01:02:03:04:05:06"});
    device.setFileExists("/bin/bash", true);

    EXPECT_EQ(device.systemName(), "iOS");
    EXPECT_EQ(device.systemVersion(), "6.1");
    EXPECT_EQ(device.model(), "iPhone Simulator");
    EXPECT_EQ(device.machine(), "iPhone6,2");
    EXPECT_EQ(device.identifierForVendor(), "00000000-0000-4000-8000-000000000000");
    EXPECT_FALSE(device.screenScale());
    ASSERT_TRUE(device.carrier());
    EXPECT_EQ(device.carrier()->mobileCountryCode + device.carrier()->mobileNetworkCode, "46000");
    EXPECT_EQ(device.timeZoneName(), "Europe/Paris");
    ASSERT_EQ(device.interfaces().size(), 2u);
    EXPECT_EQ(device.interfaces()[1].ipv4, "192.168.1.2");
    EXPECT_EQ(device.currentNetworkInfo("en0")->ssid, "office");
    EXPECT_TRUE(device.fileExistsAtPath("/bin/bash"));

    device.setInterfaces({ui::NetworkInterface{"lo0", "127.0.0.1", true, std::nullopt}});
    device.setCurrentNetworkInfo(std::nullopt);
    EXPECT_TRUE(device.supportedNetworkInterfaces().empty());
    EXPECT_FALSE(device.currentNetworkInfo("en0"));

    ui::Application::resetForTesting();
    EXPECT_EQ(device.systemVersion(), "7.0");
    EXPECT_EQ(device.screenScale(), 2.0);
    EXPECT_FALSE(device.fileExistsAtPath("/bin/bash"));
}
