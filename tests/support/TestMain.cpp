// main() for every test program: each test gets a fresh app home (a folder
// of its own in the program's temporary folder) so no test sees another's
// files or defaults, and a test run twice in one process finds it empty again.
// The folder goes however the program ends but killed: also on Ctrl+C, SIGTERM
// or a closed terminal, which then end the program as they would.
#include <gtest/gtest.h>

#include "foundation/FileManager.h"
#include "foundation/Notification.h"
#include "foundation/RunLoop.h"
#include "foundation/Signals.h"
#include "foundation/UserDefaults.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Every test starts with an empty main run loop and notification centre
// (the reset also ends the exchanges a test left in flight).
class ResetSharedState : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        ns::RunLoop::resetForTesting();
        ns::NotificationCenter::defaultCenter().resetForTesting();
    }
};

// Points KL_HOME (unless KL_HOME_KEEP asks to keep the one given) and
// KL_DEVICE_HOME into `folder`, and has the file manager read them again.
void useHome(const fs::path& folder) {
    if (!std::getenv("KL_HOME_KEEP")) setenv("KL_HOME", folder.c_str(), 1);
    setenv("KL_DEVICE_HOME", (folder / "device").c_str(), 1);  // pasteboards, keychain
    ns::resetHomeDirectory();
}

// Each test's home: <root>/<n>, made empty before the test and removed after
// it. Between tests the home is the root itself. A singleton made during an
// earlier test may still write into that test's folder: it is in the root
// and goes with it.
class FreshHome : public testing::EmptyTestEventListener {
public:
    explicit FreshHome(fs::path root) : root_(std::move(root)) { useHome(root_); }

private:
    void OnTestStart(const testing::TestInfo&) override {
        home_ = root_ / std::to_string(++count_);
        std::error_code ec;
        if (!fs::create_directory(home_, ec) || ec)
            ADD_FAILURE() << "cannot make the test's home " << home_ << ": " << (ec ? ec.message() : "already there");
        useHome(home_);
    }

    void OnTestEnd(const testing::TestInfo&) override {
        // What the test left in flight ends (its workers joined) and the
        // defaults store writes what it holds, both before the folder goes;
        // the next test reads its defaults from its own home.
        ns::RunLoop::resetForTesting();
        ns::UserDefaults::resetStandardUserDefaults();
        useHome(root_);
        // A file that goes while the folder is being removed (a singleton's
        // queue finishing a write, say) is gone: the removal goes on.
        std::error_code ec;
        for (int tries = 0; tries < 5; ++tries) {
            ec.clear();
            fs::remove_all(home_, ec);
            if (ec != std::errc::no_such_file_or_directory) break;
        }
        if (ec) ADD_FAILURE() << "cannot remove the test's home " << home_ << ": " << ec.message();
    }

    fs::path root_;
    fs::path home_;
    unsigned long count_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    // A death test's child is this program started again to run one test; it
    // keeps that test's home (inherited through the environment) and makes
    // none of its own, since it ends without coming back here to remove it.
    bool deathTestChild = false;
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with("--gtest_internal_run_death_test")) deathTestChild = true;
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ResetSharedState);
    std::string root;
    if (!deathTestChild) {
        std::string why;
        root = ns::makeTemporaryFolder("kl-test-", &why);
        if (root.empty()) {
            std::fprintf(stderr, "cannot make the tests' folder: %s\n", why.c_str());
            return 1;
        }
        testing::UnitTest::GetInstance()->listeners().Append(new FreshHome(root));
        // Ctrl+C, SIGTERM or a closed terminal in the middle of the tests:
        // the folder goes (no test still at work makes it again), then the
        // program ends as the signal would have ended it.
        ns::removeOnEndingSignals(root);
    }
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
    if (!root.empty()) {
        std::error_code ec;
        fs::remove_all(root, ec);
        if (ec) {
            std::fprintf(stderr, "cannot remove the tests' folder %s: %s\n", root.c_str(), ec.message().c_str());
            if (rc == 0) rc = 1;
        }
    }
    return rc;
}
