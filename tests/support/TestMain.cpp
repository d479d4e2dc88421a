// main() for every test program: each test process gets a fresh app home
// (a temporary folder) so no test sees another's files or defaults.
#include <gtest/gtest.h>

#include "foundation/Notification.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

namespace {

// Every test starts with an empty main run loop and notification centre
// (the reset also ends the exchanges a test left in flight).
class ResetSharedState : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        ns::RunLoop::resetForTesting();
        ns::NotificationCenter::defaultCenter().resetForTesting();
    }
};

}  // namespace

int main(int argc, char** argv) {
    // A death test's child is this program started again; it keeps the
    // parent's home (inherited through the environment) and makes none of
    // its own, since it ends without coming back here to remove it.
    bool deathTestChild = false;
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with("--gtest_internal_run_death_test")) deathTestChild = true;
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ResetSharedState);
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "kl-test-XXXXXX").string();
    char* made = deathTestChild ? nullptr : mkdtemp(pattern.data());
    if (made && !std::getenv("KL_HOME_KEEP")) setenv("KL_HOME", made, 1);
    if (made) setenv("KL_DEVICE_HOME", (std::string(made) + "/device").c_str(), 1);  // pasteboards, keychain
    if (!std::getenv("TZ")) setenv("TZ", "Asia/Shanghai", 1);
    if (!std::getenv("KL_RESOURCES")) setenv("KL_RESOURCES", KL_RESOURCES_DIR, 1);
    tzset();
    int rc = RUN_ALL_TESTS();
    // What the last test left in flight ends here, its workers joined, before
    // the program's statics and libraries go.
    ns::RunLoop::resetForTesting();
    // The defaults store writes what it still holds when it goes, after
    // main() has returned; it writes now, before its folder is removed.
    ns::UserDefaults::resetStandardUserDefaults();
    if (made) {
        std::error_code ec;
        fs::remove_all(made, ec);
    }
    return rc;
}
