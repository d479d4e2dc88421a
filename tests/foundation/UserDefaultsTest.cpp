#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"
#include "support/AllocationCount.h"

using namespace ns;

namespace {

// Each test starts from no defaults file and a freshly read store.
class UserDefaultsTest : public testing::Test {
protected:
    void SetUp() override {
        UserDefaults::resetStandardUserDefaults();
        FileManager::defaultManager().removeItemAtPath(storePath());
    }
    void TearDown() override { UserDefaults::resetStandardUserDefaults(); }

    static std::string storePath() { return preferencesDirectory() + "/gov.velmarsh.kestrowline.plist"; }
    static std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }
    // A restart: the store is written, forgotten and read from its file.
    static void restart() { UserDefaults::resetStandardUserDefaults(); }
};

}  // namespace

TEST_F(UserDefaultsTest, EveryKindSurvivesARestart) {
    auto d = defaults();
    EXPECT_EQ(d->path(), storePath());
    d->setBool(true, "LoginState");
    d->setObject(Value("1"), "login_flg");
    d->setObject(Value::dictionary({{"member_id", Value("12")}, {"real_name", Value("张三")}}), "memberDic");
    d->setInteger(1425175200123LL, "MSA_SDK_DATA_SENT_TS");
    d->setDouble(0.1, "ratio");
    d->setFloat(1.5f, "scale");
    d->setObject(Value(Date{1425175200.5}), "PullRefreshTableView_LastRefresh");
    d->setObject(Value(Bytes{0, 1, 0xFF}), "token");
    d->setObject(Value::array({Value("zh-Hans"), Value("en")}), "AppleLanguages");
    d->setObject(Value(""), "MobileOrg_id");
    ASSERT_TRUE(d->synchronize());
    d.reset();

    restart();
    auto r = defaults();
    EXPECT_TRUE(r->boolForKey("LoginState"));
    EXPECT_EQ(r->stringForKey("login_flg"), Value("1"));
    EXPECT_EQ(r->dictionaryForKey("memberDic")["real_name"].str(), "张三");
    EXPECT_EQ(r->integerForKey("MSA_SDK_DATA_SENT_TS"), 1425175200123LL);
    EXPECT_EQ(r->doubleForKey("ratio"), 0.1);
    EXPECT_EQ(r->floatForKey("scale"), 1.5f);
    EXPECT_EQ(r->dateForKey("PullRefreshTableView_LastRefresh").date().seconds, 1425175200.5);
    EXPECT_EQ(r->dataForKey("token").data(), (Bytes{0, 1, 0xFF}));
    EXPECT_EQ(r->arrayForKey("AppleLanguages").at(0).str(), "zh-Hans");
    EXPECT_TRUE(r->objectForKey("MobileOrg_id").isString());

    // The file is a binary property list holding exactly these keys.
    auto bytes = readFile(storePath());
    ASSERT_TRUE(bytes);
    PropertyListFormat format{};
    Value file = PropertyListSerialization::propertyListWithData(*bytes, &format);
    EXPECT_EQ(format, PropertyListFormat::Binary);
    EXPECT_EQ(file.count(), 10u);
}

TEST_F(UserDefaultsTest, UnsynchronizedChangesAreWrittenWhenTheStoreGoes) {
    defaults()->setObject(Value("42"), "QuorvelOrg_id");
    restart();
    EXPECT_EQ(defaults()->stringForKey("QuorvelOrg_id").str(), "42");
    defaults()->removeObjectForKey("QuorvelOrg_id");
    restart();
    EXPECT_TRUE(defaults()->objectForKey("QuorvelOrg_id").isNil());
}

TEST_F(UserDefaultsTest, TypedReadsFollowFoundationRules) {
    auto d = defaults();
    d->setObject(Value("YES"), "yes");
    d->setObject(Value("12abc"), "text");
    d->setInteger(7, "seven");
    d->setObject(Value::array(), "list");
    EXPECT_TRUE(d->boolForKey("yes"));
    EXPECT_EQ(d->integerForKey("text"), 12);
    EXPECT_EQ(d->stringForKey("seven"), Value("7"));
    EXPECT_TRUE(d->stringForKey("list").isNil());
    EXPECT_TRUE(d->arrayForKey("text").isNil());
    EXPECT_TRUE(d->dictionaryForKey("list").isNil());
    EXPECT_FALSE(d->boolForKey("missing"));
    EXPECT_EQ(d->integerForKey("missing"), 0);
    EXPECT_EQ(d->doubleForKey("missing"), 0.0);
    EXPECT_TRUE(d->objectForKey("missing").isNil());
}

TEST_F(UserDefaultsTest, ValuesGoInAndOutAsCopies) {
    auto d = defaults();
    Value member = Value::dictionary({{"user_name", Value("a")}});
    d->setObject(member, "memberDic");
    member.set("user_name", Value("changed after set"));
    Value read = d->dictionaryForKey("memberDic");
    read.set("user_name", Value("changed after read"));
    EXPECT_EQ(d->dictionaryForKey("memberDic")["user_name"].str(), "a");
}

TEST_F(UserDefaultsTest, NilRemovesAndNonPlistValuesAreRefused) {
    auto d = defaults();
    d->setObject(Value("x"), "k");
    d->setObject(Value(), "k");
    EXPECT_TRUE(d->objectForKey("k").isNil());

    d->setObject(Value("kept"), "k");
    LogCapture log;
    d->setObject(Value::array({Value::null()}), "k");
    EXPECT_TRUE(log.contains("not a property list"));
    EXPECT_EQ(d->stringForKey("k").str(), "kept");
    EXPECT_TRUE(d->synchronize());
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAreFallbacksNeverWritten) {
    auto d = defaults();
    d->registerDefaults(Value::dictionary({{"AppleLanguages", Value::array({Value("zh-Hans")})}, {"n", Value(3)}}));
    EXPECT_EQ(d->arrayForKey("AppleLanguages").at(0).str(), "zh-Hans");
    d->setInteger(4, "n");
    EXPECT_EQ(d->integerForKey("n"), 4);
    EXPECT_EQ(d->dictionaryRepresentation().count(), 2u);
    d.reset();
    restart();
    EXPECT_TRUE(defaults()->objectForKey("AppleLanguages").isNil());
    EXPECT_EQ(defaults()->integerForKey("n"), 4);
}

TEST_F(UserDefaultsTest, DamagedOrMissingFileGivesAnEmptyStoreAndALogLine) {
    restart();
    {
        LogCapture log;
        EXPECT_EQ(defaults()->dictionaryRepresentation().count(), 0u);
        EXPECT_TRUE(log.contains("no stored defaults"));
    }
    std::string unclosed = "<plist>";
    for (int i = 0; i < 200000; ++i) unclosed += "<array>";
    for (std::string_view junk : {std::string_view("not a plist"), std::string_view("bplist00\x01\x02"),
                                  std::string_view("<plist><array><string>x</string></array></plist>"),
                                  std::string_view(unclosed)}) {
        restart();
        ASSERT_TRUE(writeFileAtomically(storePath(), junk));
        LogCapture log;
        restart();
        EXPECT_EQ(defaults()->dictionaryRepresentation().count(), 0u);
        EXPECT_TRUE(log.contains("damaged")) << junk.substr(0, 60);
        // Set aside whole, for a later look; nothing is left in its place.
        EXPECT_TRUE(log.contains("set aside as " + storePath() + ".damaged"));
        auto aside = readFile(storePath() + ".damaged");
        ASSERT_TRUE(aside);
        EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(aside->data()), aside->size()), junk);
        EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(storePath()));
    }
    // The store works on and replaces the damaged file.
    defaults()->setBool(true, "LoginState");
    ASSERT_TRUE(defaults()->synchronize());
    restart();
    EXPECT_TRUE(defaults()->boolForKey("LoginState"));
}

TEST_F(UserDefaultsTest, XMLFilesAreRead) {
    restart();
    ASSERT_TRUE(writeFileAtomically(storePath(), std::string_view(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>MSA_SDK_DB_VER</key><integer>1</integer><key>lang</key><string>中文</string>"
        "<key>since</key><date>1900-01-01T00:00:00Z</date></dict></plist>")));
    restart();
    EXPECT_EQ(defaults()->integerForKey("MSA_SDK_DB_VER"), 1);
    EXPECT_EQ(defaults()->stringForKey("lang").str(), "中文");
    // Written back (in binary) with the rest, whatever the date's year.
    defaults()->setBool(true, "LoginState");
    ASSERT_TRUE(defaults()->synchronize());
    restart();
    EXPECT_EQ(defaults()->objectForKey("since").date().seconds, -2208988800.0);
    EXPECT_TRUE(defaults()->boolForKey("LoginState"));
}

// A write that died after creating its temporary file leaves it behind: a
// later start clears it away once it is old enough to be nobody's, and
// leaves a young one, which may be another run's write under way.
TEST_F(UserDefaultsTest, AnInterruptedWriteLosesNothing) {
    namespace fs = std::filesystem;
    defaults()->setObject(Value("saved"), "state");
    ASSERT_TRUE(defaults()->synchronize());
    restart();
    std::string stray = storePath() + ".tmp-Ab12Cd", young = storePath() + ".tmp-Ef34Gh";
    for (const std::string& file : {stray, young})
        ASSERT_TRUE(writeFileAtomically(file, std::string_view("bplist00\x00\x11half")));
    fs::last_write_time(stray, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    restart();
    EXPECT_EQ(defaults()->stringForKey("state").str(), "saved");
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(stray));  // cleared away
    EXPECT_TRUE(FileManager::defaultManager().fileExistsAtPath(young));
    fs::remove(young);
    defaults()->setObject(Value("next"), "state");
    ASSERT_TRUE(defaults()->synchronize());
    restart();
    EXPECT_EQ(defaults()->stringForKey("state").str(), "next");
}

TEST_F(UserDefaultsTest, ConcurrentWritersAllLand) {
    auto d = defaults();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([d, t] {
            for (int i = 0; i < 200; ++i) {
                d->setInteger(i, ns::format("t%d-%d", t, i));
                (void)d->integerForKey("t0-0");
                if (i % 100 == 0) d->synchronize();
            }
        });
    }
    for (auto& th : threads) th.join();
    d.reset();
    restart();
    EXPECT_EQ(defaults()->dictionaryRepresentation().count(), 800u);
    EXPECT_EQ(defaults()->integerForKey("t3-199"), 199);
}

// A file it cannot write (here its folder is a file; on a full disk alike):
// each synchronize fails and says why, naming the file once, and the log says
// so once however often it is tried, until a write has gone through.
TEST_F(UserDefaultsTest, AWriteThatFailsSaysWhyNamingTheFileOnceAndIsLoggedOnce) {
    const std::string folder = homeDirectory() + "/blocked";
    const std::string path = folder + "/defaults.plist";
    auto blockFolder = [&] {
        FileManager::defaultManager().removeItemAtPath(folder);
        ASSERT_TRUE(writeFileAtomically(folder, std::string_view("not a folder")));
    };
    blockFolder();
    LogCapture log;
    auto failures = [&] {
        std::size_t n = 0;
        for (const auto& line : log.lines()) n += line.find("UserDefaults: cannot write") != std::string::npos;
        return n;
    };
    UserDefaults d(path);
    d.setObject(Value("1"), "key");
    const std::string why = path + ": " + std::strerror(ENOTDIR);
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string said;
        EXPECT_FALSE(d.synchronize(&said));
        EXPECT_EQ(said, why);
    }
    EXPECT_EQ(failures(), 1u);
    EXPECT_TRUE(log.contains("UserDefaults: cannot write " + why));

    // Writable again, it writes; a failure after that is logged again.
    FileManager::defaultManager().removeItemAtPath(folder);
    ASSERT_TRUE(d.synchronize());
    blockFolder();
    d.setObject(Value("2"), "key");
    EXPECT_FALSE(d.synchronize());
    EXPECT_EQ(failures(), 2u);
    FileManager::defaultManager().removeItemAtPath(folder);
}

// The defaults of a home removed for good (a tour's, holding the member's
// password) are written nowhere after it: neither a later synchronize nor the
// store's going makes the home again.
TEST_F(UserDefaultsTest, AStoreWhoseHomeWasRemovedDoesNotMakeItAgain) {
    const std::string home = homeDirectory() + "/removed-home";
    setHomeDirectory(home);
    UserDefaults::resetStandardUserDefaults();
    auto d = defaults();
    d->setObject(Value("demo123"), "password");
    ASSERT_TRUE(d->synchronize());
    d->setObject(Value("changed"), "password");
    ASSERT_TRUE(removeHomeDirectory(home));
    EXPECT_FALSE(d->synchronize());
    d.reset();
    UserDefaults::resetStandardUserDefaults();  // the store goes, with a change unwritten
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(home));
    resetHomeDirectory();
}

// A store file beyond the bound, which another run may have left, is set
// aside unread as a damaged one is, in one line naming it with the reason;
// what the read allocates does not follow the file's size.
TEST_F(UserDefaultsTest, AFileBeyondTheBoundIsSetAsideUnread) {
    namespace fs = std::filesystem;
    const std::string path = homeDirectory() + "/large/defaults.plist";
    fs::create_directories(homeDirectory() + "/large");
    for (std::uint64_t size : {std::uint64_t{UserDefaults::kMaxFileBytes} + 1, std::uint64_t{1} << 40}) {
        SCOPED_TRACE(size);
        fs::remove(path + ".damaged");
        std::ofstream(path).close();
        fs::resize_file(path, size);
        LogCapture log;
        std::optional<UserDefaults> d;
        const auto used = testsupport::allocationPeak([&] { d.emplace(path); }, 64u << 20);
        EXPECT_FALSE(used.capped);
        EXPECT_LT(used.peak, 1u << 20);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->dictionaryRepresentation().count(), 0u);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find(path + ": more than"), std::string::npos) << log.lines()[0];
        EXPECT_EQ(fs::file_size(path + ".damaged"), size);
        EXPECT_FALSE(fs::exists(path));
    }
    fs::remove_all(homeDirectory() + "/large");
}

// The writer writes a store up to the bound, which reads back, and refuses
// one beyond it, keeping the file it has.
TEST_F(UserDefaultsTest, AStoreAtTheBoundReadsBackAndOneBeyondIsNotWritten) {
    namespace fs = std::filesystem;
    const std::string path = homeDirectory() + "/bound/defaults.plist";
    std::size_t blob = UserDefaults::kMaxFileBytes - 1000;
    {
        UserDefaults d(path);
        d.setObject(Value(Bytes(blob, 7)), "blob");
        ASSERT_TRUE(d.synchronize());
        blob += UserDefaults::kMaxFileBytes - fs::file_size(path);
        d.setObject(Value(Bytes(blob, 7)), "blob");
        ASSERT_TRUE(d.synchronize());
        ASSERT_EQ(fs::file_size(path), UserDefaults::kMaxFileBytes);
    }
    UserDefaults again(path);
    EXPECT_EQ(again.dataForKey("blob").data().size(), blob);
    again.setObject(Value(Bytes(blob + 1, 7)), "blob");
    std::string why;
    EXPECT_FALSE(again.synchronize(&why));
    EXPECT_EQ(why.rfind(path + ": more than", 0), 0u) << why;
    EXPECT_EQ(fs::file_size(path), UserDefaults::kMaxFileBytes);
    again.removeObjectForKey("blob");
    EXPECT_TRUE(again.synchronize());
    fs::remove_all(homeDirectory() + "/bound");
}
