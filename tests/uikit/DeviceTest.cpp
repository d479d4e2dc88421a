// The device-info provider: Linux defaults, the vendor identifier kept in the
// device store, and the test setters.
#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>

#include "foundation/DateTime.h"
#include "support/FullDisk.h"
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

// The host's interfaces as this machine lists them: which one stands for the
// phone's "en0" and its Wi-Fi network.
TEST_F(DeviceTest, En0IsTheFirstInterfaceUpWithAnIPv4AndAHardwareAddressElseTheFirstUpWithAHardwareAddress) {
    using I = ui::NetworkInterface;
    using Mac = std::array<std::uint8_t, 6>;
    const Mac a{0xbe, 0x56, 0x7e, 0x1e, 0xc5, 0xa8}, b{0x02, 0xfc, 0x00, 0x00, 0x00, 0x01}, zeros{};
    const I lo{"lo", "127.0.0.1", true, zeros, true};
    struct Case {
        const char* what;
        std::vector<I> host;
        std::optional<std::size_t> en0;  // its place in `host`
    } cases[] = {
        {"a virtual interface that is down comes first",
         {lo, I{"ifb0", std::nullopt, false, a, false}, I{"eth0", "192.0.2.2", false, b, true}}, 2},
        {"down, even with an address", {lo, I{"ifb0", "10.0.0.1", false, a, false}, I{"wlan0", std::nullopt, false, b, true}}, 2},
        {"no hardware address", {lo, I{"tun0", "10.8.0.2", false, std::nullopt, true}, I{"eth1", std::nullopt, false, b, true}}, 2},
        {"an address of zeros is none", {lo, I{"dummy0", "10.1.0.1", false, zeros, true}, I{"eth2", "10.2.0.1", false, b, true}}, 2},
        {"an IPv4 address goes before the order", {lo, I{"eth3", std::nullopt, false, a, true}, I{"eth4", "10.3.0.1", false, b, true}}, 2},
        {"up with a hardware address, without IPv4", {lo, I{"eth5", std::nullopt, false, a, true}}, 1},
        {"none up", {lo, I{"ifb0", "10.0.0.1", false, a, false}}, std::nullopt},
        {"a loopback only", {lo}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        device.setHostInterfaces(c.host);
        EXPECT_EQ(ui::wifiInterfaceIndex(c.host), c.en0);
        std::vector<I> answered = device.interfaces();
        ASSERT_EQ(answered.size(), c.host.size());
        for (std::size_t at = 0; at < answered.size(); ++at)
            EXPECT_EQ(answered[at].name, c.en0 == at ? "en0" : c.host[at].name);
        auto info = device.currentNetworkInfo("en0");
        if (!c.en0) {
            EXPECT_TRUE(device.supportedNetworkInterfaces().empty());
            EXPECT_FALSE(info);
            continue;
        }
        ASSERT_TRUE(info);
        EXPECT_EQ(info->ssid, c.host[*c.en0].name);
        EXPECT_EQ(info->bssid, c.host[*c.en0].mac == b ? "02:fc:00:00:00:01" : "be:56:7e:1e:c5:a8");
    }
}

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

// A vendor identifier that cannot be kept in the device folder (a full disk,
// a folder in its file's place) is said in one line naming the file once,
// leaves no file, and answers for the rest of the process; the next process
// makes another and keeps it.
TEST_F(DeviceTest, AVendorIdentifierThatCannotBeKeptIsSaidOnceAndAnswersForTheProcess) {
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        bool fullDisk;
        int error;
    };
    for (const Case& c : {Case{"a full disk", true, EFBIG}, Case{"a folder in its place", false, EISDIR}}) {
        SCOPED_TRACE(c.what);
        device.resetForTesting();
        const fs::path folder = fs::path(std::getenv("KL_HOME")) / (std::string("unkept-") + (c.fullDisk ? "full" : "folder"));
        ui::setDeviceStoreDirectory(folder.string());
        const fs::path file = fs::path(ui::deviceStoreDirectory()) / "identifierForVendor";
        if (!c.fullDisk) fs::create_directory(file);
        ns::LogCapture log;
        std::string first, again;
        {
            std::optional<testsupport::FullDisk> disk;
            if (c.fullDisk) disk.emplace();
            first = device.identifierForVendor();
            again = device.identifierForVendor();
        }
        EXPECT_EQ(again, first);
        const auto said = testsupport::linesWith(log, "Device: ");
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find("cannot write " + file.string() + ": " + std::strerror(c.error)), std::string::npos) << said[0];
        EXPECT_EQ(said[0].find(file.string()), said[0].rfind(file.string())) << said[0];
        EXPECT_FALSE(fs::is_regular_file(file));
        EXPECT_TRUE(testsupport::temporariesIn(folder).empty());

        fs::remove(file);
        device.resetForTesting();
        const std::string kept = device.identifierForVendor();
        EXPECT_NE(kept, first);
        EXPECT_EQ(fs::file_size(file), kept.size());
        fs::remove_all(folder);
    }
}

// A device folder KL_DEVICE_HOME names that is already there keeps its mode;
// the keychain's folder in it is the owner's alone.
TEST_F(DeviceTest, AnExistingFolderKLDeviceHomeNamesKeepsItsMode) {
    namespace fs = std::filesystem;
    const std::string saved = std::getenv("KL_DEVICE_HOME");
    const fs::path shared = fs::path(saved).parent_path() / "shared-device";
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    setenv("KL_DEVICE_HOME", shared.c_str(), 1);
    EXPECT_EQ(ui::deviceStoreSubdirectory("Keychain"), (shared / "Keychain").string());
    EXPECT_EQ(fs::status(shared).permissions(), fs::perms::all | fs::perms::sticky_bit);
    EXPECT_EQ(fs::status(shared / "Keychain").permissions(), fs::perms::owner_all);
    setenv("KL_DEVICE_HOME", saved.c_str(), 1);
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
