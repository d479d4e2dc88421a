#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"

using namespace ns;

namespace {

FileManager& fm() { return FileManager::defaultManager(); }
std::optional<Bytes> bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Points the home at a fresh folder for one test, and back afterwards (the
// folder is in the test's own home, which goes with the test).
class FileManagerTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = std::string(std::getenv("KL_HOME")) + "/fm-" + testing::UnitTest::GetInstance()->current_test_info()->name();
        setHomeDirectory(root_);
    }
    void TearDown() override { resetHomeDirectory(); }
    std::string root_;
};

}  // namespace

TEST_F(FileManagerTest, HomeFoldersAreMadeOnDemand) {
    EXPECT_FALSE(fm().fileExistsAtPath(root_));
    EXPECT_EQ(documentsDirectory(), root_ + "/Documents");
    EXPECT_TRUE(fm().isDirectory(root_ + "/Documents"));
    EXPECT_EQ(cachesDirectory(), root_ + "/Library/Caches");
    EXPECT_EQ(preferencesDirectory(), root_ + "/Library/Preferences");
    EXPECT_EQ(temporaryDirectory(), root_ + "/tmp");
    EXPECT_TRUE(fm().isDirectory(root_ + "/Library/Preferences"));
}

TEST_F(FileManagerTest, DefaultHomeComesFromTheEnvironment) {
    std::string saved = std::getenv("KL_HOME");
    resetHomeDirectory();
    EXPECT_EQ(homeDirectory(), saved);

    unsetenv("KL_HOME");
    setenv("XDG_DATA_HOME", (root_ + "/xdg").c_str(), 1);
    resetHomeDirectory();
    EXPECT_EQ(homeDirectory(), root_ + "/xdg/kestrowline");

    unsetenv("XDG_DATA_HOME");
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", (root_ + "/user").c_str(), 1);
    resetHomeDirectory();
    EXPECT_EQ(homeDirectory(), root_ + "/user/.local/share/kestrowline");

    setenv("HOME", savedHome.c_str(), 1);
    setenv("KL_HOME", saved.c_str(), 1);
    resetHomeDirectory();
    EXPECT_EQ(homeDirectory(), saved);
}

// A folder KL_HOME names that is already there (a shared one, sticky and
// open to all) keeps its mode; the folders inside it, which hold the login,
// are the owner's alone, and so is a home KL_HOME names that has to be made.
TEST_F(FileManagerTest, AFolderKLHomeNamesKeepsItsModeAndTheFoldersInItArePrivate) {
    auto modeOf = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0u;
    };
    const std::string saved = std::getenv("KL_HOME");
    const std::string shared = root_ + "/shared";
    ASSERT_TRUE(fm().createDirectoryAtPath(shared, true));
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    ASSERT_TRUE(fm().createDirectoryAtPath(shared + "/Library", false));
    ASSERT_EQ(::chmod((shared + "/Library").c_str(), 0755), 0);
    setenv("KL_HOME", shared.c_str(), 1);
    resetHomeDirectory();

    EXPECT_EQ(preferencesDirectory(), shared + "/Library/Preferences");
    EXPECT_EQ(documentsDirectory(), shared + "/Documents");
    EXPECT_EQ(modeOf(shared), 01777u);
    for (const char* inside : {"/Library", "/Library/Preferences", "/Documents"})
        EXPECT_EQ(modeOf(shared + inside), 0700u) << inside;

    const std::string made = root_ + "/new/home";
    setenv("KL_HOME", made.c_str(), 1);
    resetHomeDirectory();
    EXPECT_EQ(homeDirectory(), made);
    EXPECT_EQ(modeOf(made), 0700u);
    EXPECT_EQ(modeOf(root_ + "/new"), 0700u);

    setenv("KL_HOME", saved.c_str(), 1);
    resetHomeDirectory();
    setHomeDirectory(root_);
}

// Other programs' folders (the device store) follow the same lookup with
// their own variable and name; an empty variable or a relative XDG path is
// passed over.
TEST_F(FileManagerTest, UserDataFoldersFollowTheSameLookup) {
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("KL_TEST_DATA", (root_ + "/own").c_str(), 1);
    EXPECT_EQ(userDataDirectory("KL_TEST_DATA", "peer").path, root_ + "/own");
    EXPECT_EQ(userDataDirectory("KL_TEST_DATA", "peer").existing, ExistingFolder::KeepMode);
    EXPECT_FALSE(fm().fileExistsAtPath(root_ + "/own"));  // nothing is made

    setenv("KL_TEST_DATA", "", 1);
    setenv("XDG_DATA_HOME", (root_ + "/xdg").c_str(), 1);
    EXPECT_EQ(userDataDirectory("KL_TEST_DATA", "peer").path, root_ + "/xdg/peer");
    EXPECT_EQ(userDataDirectory("KL_TEST_DATA", "peer").existing, ExistingFolder::MakePrivate);

    setenv("XDG_DATA_HOME", "relative/xdg", 1);
    setenv("HOME", (root_ + "/user").c_str(), 1);
    EXPECT_EQ(userDataDirectory("KL_TEST_DATA", "peer").path, root_ + "/user/.local/share/peer");
    EXPECT_EQ(userDataDirectory("KL_TEST_DATA", "peer").existing, ExistingFolder::MakePrivate);

    unsetenv("XDG_DATA_HOME");
    unsetenv("KL_TEST_DATA");
    setenv("HOME", savedHome.c_str(), 1);

    std::string made = ensureDirectory(root_ + "/a/b", "Peer");
    EXPECT_EQ(made, root_ + "/a/b");
    EXPECT_TRUE(fm().isDirectory(made));
    LogCapture log;
    ASSERT_TRUE(fm().createFileAtPath(root_ + "/file", Bytes{}));
    EXPECT_EQ(ensureDirectory(root_ + "/file/sub", "Peer"), root_ + "/file/sub");
    EXPECT_TRUE(log.contains("Peer: cannot create " + root_ + "/file/sub")) << log.lines().size();
}

TEST_F(FileManagerTest, CreateFoldersWithAndWithoutIntermediates) {
    std::string deep = documentsDirectory() + "/a/b/c";
    ErrorPtr error;
    EXPECT_FALSE(fm().createDirectoryAtPath(deep, false, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, FileNoSuchFileError);

    EXPECT_TRUE(fm().createDirectoryAtPath(deep, true));
    EXPECT_TRUE(fm().createDirectoryAtPath(deep, true));  // an existing folder is fine
    error.reset();
    EXPECT_FALSE(fm().createDirectoryAtPath(deep, false, &error));  // but not without intermediates
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, FileWriteFileExistsError);

    std::string sub = cachesDirectory() + "/xmlzip";
    EXPECT_TRUE(fm().createDirectoryAtPath(sub, false));
    bool isDir = false;
    EXPECT_TRUE(fm().fileExistsAtPath(sub, &isDir));
    EXPECT_TRUE(isDir);

    ASSERT_TRUE(writeFileAtomically(deep + "/file", Bytes{1}));
    EXPECT_FALSE(fm().createDirectoryAtPath(deep + "/file", true));  // a file is in the way
}

TEST_F(FileManagerTest, MoveListRemove) {
    std::string docs = documentsDirectory();
    ASSERT_TRUE(writeFileAtomically(docs + "/vovuruz_analysis.db", std::string_view("old")));
    ASSERT_TRUE(writeFileAtomically(docs + "/.vovuruz_analysis.db", std::string_view("new")));

    ErrorPtr error;
    EXPECT_FALSE(fm().moveItemAtPath(docs + "/vovuruz_analysis.db", docs + "/.vovuruz_analysis.db", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, FileWriteFileExistsError);
    EXPECT_EQ(readFile(docs + "/.vovuruz_analysis.db"), bytesOf("new"));

    EXPECT_TRUE(fm().removeItemAtPath(docs + "/.vovuruz_analysis.db"));
    EXPECT_TRUE(fm().moveItemAtPath(docs + "/vovuruz_analysis.db", docs + "/.vovuruz_analysis.db"));
    EXPECT_EQ(fm().contentsOfDirectoryAtPath(docs), (std::vector<std::string>{".vovuruz_analysis.db"}));

    error.reset();
    EXPECT_FALSE(fm().removeItemAtPath(docs + "/missing", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, FileNoSuchFileError);
    EXPECT_FALSE(fm().moveItemAtPath(docs + "/missing", docs + "/x"));
    EXPECT_FALSE(fm().contentsOfDirectoryAtPath(docs + "/missing").has_value());

    // A folder goes with everything in it.
    ASSERT_TRUE(fm().createDirectoryAtPath(docs + "/tree/sub", true));
    ASSERT_TRUE(writeFileAtomically(docs + "/tree/sub/f", Bytes{1, 2}));
    EXPECT_TRUE(fm().removeItemAtPath(docs + "/tree"));
    EXPECT_FALSE(fm().fileExistsAtPath(docs + "/tree"));
}

TEST_F(FileManagerTest, SizeAndModificationDateFollowLinks) {
    std::string dir = cachesDirectory();
    std::string file = dir + "/data.bin";
    ASSERT_TRUE(writeFileAtomically(file, Bytes(1234, 7)));
    ASSERT_EQ(::symlink(file.c_str(), (dir + "/link").c_str()), 0);

    EXPECT_EQ(fm().fileSize(file), 1234);
    EXPECT_EQ(fm().fileSize(dir + "/link"), 1234);
    EXPECT_FALSE(fm().fileSize(dir + "/missing").has_value());

    // 1980-01-01 00:00 in Asia/Shanghai, with a fraction.
    Date when{315504000.25};
    ASSERT_TRUE(fm().setModificationDate(dir + "/link", when));  // sets the target's date
    ASSERT_TRUE(fm().modificationDate(file).has_value());
    EXPECT_NEAR(fm().modificationDate(file)->seconds, when.seconds, 1e-6);
    EXPECT_NEAR(fm().modificationDate(dir + "/link")->seconds, when.seconds, 1e-6);

    Value attrs = fm().fileAttributesAtPath(dir + "/link", true);
    EXPECT_EQ(attrs[kFileType].str(), kFileTypeRegular);
    EXPECT_EQ(attrs[kFileSize].integerValue(), 1234);
    EXPECT_EQ(attrs[kFileModificationDate].date().seconds, fm().modificationDate(file)->seconds);
    EXPECT_EQ(fm().attributesOfItemAtPath(dir + "/link")[kFileType].str(), kFileTypeSymbolicLink);

    // A dangling link does not exist; setting its date fails.
    ASSERT_EQ(::symlink((dir + "/gone").c_str(), (dir + "/dangling").c_str()), 0);
    EXPECT_FALSE(fm().fileExistsAtPath(dir + "/dangling"));
    EXPECT_FALSE(fm().modificationDate(dir + "/dangling").has_value());
    ErrorPtr error;
    EXPECT_FALSE(fm().setModificationDate(dir + "/dangling", when, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, kCocoaErrorDomain);
}

// A home removed for good stays gone: the writers that still hold its paths
// (the image cache's folder, the defaults' file, a database's folder) fail
// as on a missing folder instead of making it again. Folders beside it, even
// ones whose names begin with its name, are made as before.
TEST_F(FileManagerTest, AHomeRemovedForGoodIsNotMadeAgain) {
    const std::string images = cachesDirectory() + "/ImageCache";
    ASSERT_TRUE(fm().createDirectoryAtPath(images, true));
    ASSERT_TRUE(writeFileAtomically(images + "/picture", Bytes{1, 2, 3}));
    ASSERT_TRUE(writeFileAtomically(preferencesDirectory() + "/defaults.plist", std::string_view("password")));

    LogCapture log;
    EXPECT_TRUE(removeHomeDirectory(root_));
    EXPECT_FALSE(fm().fileExistsAtPath(root_));
    EXPECT_FALSE(fm().fileExistsAtPath(root_ + ".removing"));

    EXPECT_EQ(homeDirectory(), root_);
    EXPECT_EQ(documentsDirectory(), root_ + "/Documents");
    EXPECT_EQ(preferencesDirectory(), root_ + "/Library/Preferences");
    EXPECT_EQ(ensureDirectory(root_ + "/Library/Caches", "Peer"), root_ + "/Library/Caches");
    ErrorPtr error;
    EXPECT_FALSE(fm().createDirectoryAtPath(images, true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, FileNoSuchFileError);
    EXPECT_FALSE(fm().createDirectoryAtPath(root_, false));
    EXPECT_FALSE(fm().createDirectoryAtPath(root_ + "/./Documents/../tmp", true));
    EXPECT_FALSE(writeFileAtomically(images + "/picture", Bytes{4}));
    EXPECT_FALSE(fm().fileExistsAtPath(root_));
    EXPECT_FALSE(log.contains("cannot create"));  // refused on purpose, not a failure to report

    EXPECT_TRUE(fm().createDirectoryAtPath(root_ + "-beside/Library", true));
    EXPECT_TRUE(fm().createDirectoryAtPath(root_ + "x", false));
    EXPECT_TRUE(removeHomeDirectory(root_));  // again: nothing there, nothing to do

    // Pointing the home anywhere (here: at the same folder) starts afresh.
    setHomeDirectory(root_);
    EXPECT_TRUE(fm().isDirectory(documentsDirectory()));
}

// Writers at work on other threads while the home goes: whatever they were
// doing at that moment, once it has gone nothing of it is left, however long
// they go on writing.
TEST_F(FileManagerTest, AHomeRemovedWhileWritersWriteStaysGone) {
    const std::string home = homeDirectory();
    constexpr int kWriters = 4;
    constexpr int kWritesBefore = 20;
    constexpr int kWritesAfter = 200;
    std::atomic<int> ready{0};
    std::atomic<bool> removed{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            const std::string folder = home + "/Library/Caches/ImageCache" + std::to_string(w);
            for (int n = 0, after = 0; after < kWritesAfter; ++n) {
                const bool late = removed.load();
                fm().createDirectoryAtPath(folder, true);
                writeFileAtomically(folder + "/" + std::to_string(n % 8), Bytes(64, static_cast<std::uint8_t>(n)));
                ensureDirectory(home + "/Documents", "Writer");
                if (late) ++after;
                if (n + 1 == kWritesBefore) ready.fetch_add(1);
            }
        });
    }
    // Every writer is under way before the home goes.
    while (ready.load() < kWriters) std::this_thread::yield();
    const bool gone = removeHomeDirectory(home);
    removed.store(true);
    for (auto& t : writers) t.join();
    EXPECT_TRUE(gone);
    EXPECT_FALSE(fm().fileExistsAtPath(home));
    EXPECT_FALSE(fm().fileExistsAtPath(home + ".removing"));
}
