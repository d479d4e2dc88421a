// Set-up for tests of the statistics reporter: on top of MervioTest's fresh
// device, an empty keychain, no ShareUDID, statistics database or reporter
// keys in the user defaults, fresh reporter singletons, the network switch
// and the clock under the test's control. relaunch() stands for the next
// start of the app on the same device: everything the process kept is
// forgotten (once the reporter's queues are idle), the device's keychain,
// pasteboards and the app's files and user defaults stay. At the end of each
// test its statistics files, user defaults, bundle and keychain go.
//
//   class UserRuleTest : public testsupport::ReporterTest {};
//   TEST_F(UserRuleTest, ...) { auto store = useUserStorage(); ... relaunch(); ... }
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "foundation/Bundle.h"
#include "foundation/PropertyList.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "foundation/FileManager.h"
#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADatabase.h"
#include "mervio/reporter/MVOMSAStore.h"
#include "mervio/reporter/MVOMSAEvent.h"
#include "mervio/reporter/MVOMSAHelper.h"
#include "mervio/reporter/MVOMSAReporterLinks.h"
#include "mervio/reporter/MVOMSAShareUDID.h"
#include "net/Reachability.h"
#include "net/ReachabilityTarget.h"
#include "support/MervioTest.h"
#include "uikit/Keychain.h"

namespace testsupport {

// The user row the store keeps, in memory: made from the environment on
// first load, as the store makes it; every write recorded.
class MemoryUserStorage : public MVOMSAUserStorage {
public:
    std::optional<MVOMSAUser> row;
    std::vector<MVOMSAUser> writes;

    std::optional<MVOMSAUser> loadUser() override {
        if (!row) {
            const MVOMSAEnv& env = MVOMSAHelper::getInstance()->getEnv();
            row = MVOMSAUser{env.deviceid, 0, env.app_version, static_cast<std::uint32_t>(ns::now().seconds)};
        }
        return row;
    }
    void storeUser(const MVOMSAUser& user) override {
        row = user;
        writes.push_back(user);
    }
};

class ReporterTest : public MervioTest {
protected:
    // 2024-01-15 10:00:00 in Shanghai; a year later is day 15 of the year again.
    static constexpr double kStart = 1705284000;
    static constexpr double kDay = 86400;

    void SetUp() override {
        MervioTest::SetUp();
        sec::removeAllForTesting();
        auto defaults = ns::UserDefaults::standardUserDefaults();
        for (const char* key : {MVOMSAShareUDID::kDefaultsKey, MVOMSAShareUDID::kAppUIDKey, "AppleLanguages",
                                MVOMSAStore::kVersionKey, MVOMSA::kSentTimeKey})
            defaults->removeObjectForKey(key);
        MVOMSAShareUDID::setSourcesForTesting(nullptr, nullptr);
        relaunch();
        removeStatistics();
        MVOMSAReporterLinks::setUserStorage(nullptr);
        MVOMSAReporterLinks::setConfigSource(nullptr);
        ns::RunLoop::useManualClock(ns::Date{kStart});
    }

    void TearDown() override {
        relaunch();
        removeStatistics();  // nothing of this test's store is left for the next one
        mvomsa::setStatementTraceForTesting(nullptr);
        mvomsa::setBusyTimeoutForTesting(-1);
        net::Reachability::clearOverride();
        net::ReachabilityTarget::setFlagsReadableForTesting(true);
        MVOMSAReporterLinks::setUserStorage(nullptr);
        if (!bundleDir_.empty()) {
            unsetenv("KL_RESOURCES");
            if (!resources_.empty()) setenv("KL_RESOURCES", resources_.c_str(), 1);
            ns::Bundle::resetMainBundle();
            std::filesystem::remove_all(bundleDir_);
        }
        removeDefaults();
        sec::removeAllForTesting();
        MervioTest::TearDown();
    }

public:
    // A new start of the app on the same device.
    static void relaunch() {
        MVOMSA::resetForTesting();
        ns::UserDefaults::resetStandardUserDefaults();
        MVOMSAShareUDID::resetCacheForTesting();
        MVOMSAHelper::resetForTesting();
        MVOMSAConfig::resetForTesting();
        MVOMSAEvent::resetIndexRestoreForTesting();
    }

    // The statistics database (with its journal, a file set aside and its
    // running lock) and the time of the last period's upload go.
    static void removeStatistics() {
        const std::string documents = ns::documentsDirectory() + "/";
        for (const std::string& path : {MVOMSAStore::databasePath(), MVOMSAStore::setAsidePath(),
                                        MVOMSAStore::runningLockPath(), documents + ".vovuruz_analysis.db",
                                        documents + "vovuruz_analysis.db"})
            for (const char* suffix : {"", "-journal"}) std::filesystem::remove(path + suffix);
        ns::UserDefaults::standardUserDefaults()->removeObjectForKey(MVOMSA::kSentTimeKey);
    }

    // The user defaults go, and their files (of every bundle identifier a
    // test used): the store left behind writes no more.
    static void removeDefaults() {
        ns::UserDefaults::resetStandardUserDefaults();
        std::filesystem::remove_all(ns::preferencesDirectory());
    }

    std::shared_ptr<MemoryUserStorage> useUserStorage() {
        auto storage = std::make_shared<MemoryUserStorage>();
        MVOMSAReporterLinks::setUserStorage(storage);
        return storage;
    }

    // The main bundle's Info dictionary becomes `info`.
    void useBundleInfo(const ns::Value& info) {
        if (bundleDir_.empty()) {
            const char* now = std::getenv("KL_RESOURCES");
            resources_ = now ? now : "";
            bundleDir_ = std::filesystem::path(std::getenv("KL_HOME")) / "bundle";
            std::filesystem::create_directories(bundleDir_);
        }
        auto bytes = ns::PropertyListSerialization::dataWithPropertyList(info, ns::PropertyListFormat::XML);
        std::ofstream(bundleDir_ / "Info.plist", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        setenv("KL_RESOURCES", bundleDir_.c_str(), 1);
        ns::Bundle::resetMainBundle();
    }

private:
    std::filesystem::path bundleDir_;
    std::string resources_;
};

}  // namespace testsupport
