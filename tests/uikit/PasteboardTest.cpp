// Pasteboards: data per type, named boards, persistence, and records
// exchanged between two processes through the device store.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "support/FullDisk.h"
#include "uikit/DeviceStore.h"
#include "uikit/Pasteboard.h"

namespace {

using ui::Pasteboard;

ns::Bytes bytes(std::string_view s) { return ns::Bytes(s.begin(), s.end()); }

class PasteboardTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::path(std::getenv("KL_HOME") ? std::getenv("KL_HOME") : "/tmp") /
               ("device-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        ui::setDeviceStoreDirectory(dir_.string());
        Pasteboard::removeAllForTesting();
    }
    void TearDown() override { ui::setDeviceStoreDirectory(""); }

    // Runs fn in a child process (another program of the device) and waits
    // for it; the child's exit status is 0 when fn returned true.
    static bool inOtherProcess(const std::function<bool()>& fn) {
        pid_t pid = ::fork();
        if (pid == 0) _exit(fn() ? 0 : 1);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::filesystem::path dir_;
};

TEST_F(PasteboardTest, DataPerTypeAndSettingReplaces) {
    auto board = Pasteboard::pasteboardWithName("mervio_data", true);
    ASSERT_TRUE(board);
    EXPECT_FALSE(board->dataForPasteboardType("content"));
    board->setData(bytes("record"), "content");
    EXPECT_EQ(*board->dataForPasteboardType("content"), bytes("record"));
    EXPECT_EQ(board->pasteboardTypes(), std::vector<std::string>{"content"});

    board->setData(bytes(""), "content");  // empty data is data, not absence
    ASSERT_TRUE(board->dataForPasteboardType("content"));
    EXPECT_TRUE(board->dataForPasteboardType("content")->empty());

    board->setValue(ns::Value("token-1"), "psDeviceToken");  // replaces "content"
    EXPECT_FALSE(board->dataForPasteboardType("content"));
    EXPECT_EQ(board->valueForPasteboardType("psDeviceToken"), ns::Value("token-1"));
    EXPECT_EQ(*board->dataForPasteboardType("psDeviceToken"), bytes("token-1"));
    board->setData(bytes("\x01\x02"), "org.ShareUDID");
    EXPECT_TRUE(board->valueForPasteboardType("org.ShareUDID").isData());
    EXPECT_TRUE(board->valueForPasteboardType("absent").isNil());

    // Another handle on the same board sees the same content; changes count.
    auto again = Pasteboard::pasteboardWithName("mervio_data", false);
    ASSERT_TRUE(again);
    long before = again->changeCount();
    board->setData(bytes("x"), "content");
    EXPECT_EQ(again->changeCount(), before + 1);
    EXPECT_EQ(*again->dataForPasteboardType("content"), bytes("x"));
}

TEST_F(PasteboardTest, GeneralBoardKeepsTextAndIsPersistent) {
    auto general = Pasteboard::generalPasteboard();
    EXPECT_TRUE(general->isPersistent());
    EXPECT_FALSE(general->string());
    general->setString("用户的文字");
    EXPECT_EQ(general->string(), "用户的文字");
    general->setData(bytes("a\xFF" "b"), ui::kPasteboardTypeUTF8PlainText);
    EXPECT_FALSE(general->string());  // another app's bytes that are no UTF-8 are no text
    general->setData(bytes("plist"), "content");
    EXPECT_FALSE(general->string());  // the record replaced the text
    general->setPersistent(false);    // ignored for the general board
    EXPECT_TRUE(general->isPersistent());
}

TEST_F(PasteboardTest, LookupWithoutCreatingAndRemoval) {
    EXPECT_FALSE(Pasteboard::pasteboardWithName("mervio_sdk_infomation", false));
    EXPECT_FALSE(Pasteboard::pasteboardWithName("", true));
    EXPECT_FALSE(Pasteboard::pasteboardWithName("mervio_sdk_infomation", false));  // the lookup made nothing

    auto made = Pasteboard::pasteboardWithName("org.ShareUDID.slot.7", true);
    EXPECT_FALSE(made->isPersistent());
    made->setPersistent(true);
    EXPECT_TRUE(Pasteboard::pasteboardWithName("org.ShareUDID.slot.7", false)->isPersistent());
    Pasteboard::removePasteboardWithName("org.ShareUDID.slot.7");
    EXPECT_FALSE(Pasteboard::pasteboardWithName("org.ShareUDID.slot.7", false));

    // Names that are not file names are fine.
    auto odd = Pasteboard::pasteboardWithName("../a/b c%", true);
    odd->setString("ok");
    EXPECT_EQ(Pasteboard::pasteboardWithName("../a/b c%", false)->string(), "ok");
    EXPECT_FALSE(Pasteboard::pasteboardWithName("a/b c%", false));
}

TEST_F(PasteboardTest, RecordsPassBetweenProcesses) {
    // The peer app publishes a record on a persistent board and copies text.
    ASSERT_TRUE(inOtherProcess([] {
        auto board = Pasteboard::pasteboardWithName("mervio_sdk_infomation", true);
        if (!board) return false;
        board->setPersistent(true);
        board->setData(bytes("<plist version=\"1.0\"/>"), "content");
        Pasteboard::generalPasteboard()->setString("from the peer");
        return true;
    }));
    auto board = Pasteboard::pasteboardWithName("mervio_sdk_infomation", false);
    ASSERT_TRUE(board);
    EXPECT_EQ(*board->dataForPasteboardType("content"), bytes("<plist version=\"1.0\"/>"));
    EXPECT_EQ(Pasteboard::generalPasteboard()->string(), "from the peer");

    // Our answer reaches the peer; reading empties the board there, and we see that.
    Pasteboard::generalPasteboard()->setData(bytes("answer"), "content");
    ASSERT_TRUE(inOtherProcess([] {
        auto general = Pasteboard::generalPasteboard();
        auto got = general->dataForPasteboardType("content");
        if (!got || *got != bytes("answer")) return false;
        general->setData({}, "content");
        return true;
    }));
    EXPECT_TRUE(Pasteboard::generalPasteboard()->dataForPasteboardType("content")->empty());
}

TEST_F(PasteboardTest, TemporaryBoardsEndWithTheirProcess) {
    ASSERT_TRUE(inOtherProcess([] {
        Pasteboard::pasteboardWithName("temporary", true)->setString("gone soon");
        auto kept = Pasteboard::pasteboardWithName("mervio_register", true);
        kept->setPersistent(true);
        kept->setString("stays");
        return Pasteboard::pasteboardWithName("temporary", false) != nullptr;
    }));
    EXPECT_FALSE(Pasteboard::pasteboardWithName("temporary", false));
    ASSERT_TRUE(Pasteboard::pasteboardWithName("mervio_register", false));
    EXPECT_EQ(Pasteboard::pasteboardWithName("mervio_register", false)->string(), "stays");

    // Our own temporary board lives as long as we do; creating it again
    // after the other process's one ended starts it empty.
    auto mine = Pasteboard::pasteboardWithName("temporary", true);
    EXPECT_FALSE(mine->string());
    mine->setString("mine");
    EXPECT_EQ(Pasteboard::pasteboardWithName("temporary", false)->string(), "mine");
}

TEST_F(PasteboardTest, ConcurrentWritersNeverTearABoard) {
    // Two processes write large records over each other; every read sees
    // one whole record or the other.
    std::string a(200000, 'a'), b(200000, 'b');
    auto board = Pasteboard::pasteboardWithName("race", true);
    board->setPersistent(true);
    pid_t pid = ::fork();
    if (pid == 0) {
        for (int i = 0; i < 40; ++i) Pasteboard::pasteboardWithName("race", true)->setData(bytes(b), "content");
        _exit(0);
    }
    bool whole = true;
    for (int i = 0; i < 40; ++i) {
        board->setData(bytes(a), "content");
        auto got = board->dataForPasteboardType("content");
        whole = whole && got && (*got == bytes(a) || *got == bytes(b));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(whole);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace

// A board that cannot be written (a full disk, a folder where its file
// should be) is left as it was: the write answers false and says why in one
// line naming the file once, and leaves no temporary file; a board that
// could not be created is none. A write that changes nothing writes nothing.
TEST_F(PasteboardTest, AWriteThatFailsLeavesTheBoardAsItWasAndSaysWhyInOneLine) {
    auto kept = Pasteboard::pasteboardWithName("kept", true);
    ASSERT_TRUE(kept && kept->setString("before"));
    const long changes = kept->changeCount();
    const std::string folder = ui::deviceStoreSubdirectory("Pasteboards");
    std::filesystem::create_directory(folder + "/blocked.pasteboard");
    struct Case {
        const char* what;
        bool fullDisk;
        std::function<bool()> write;
        const char* board;  // whose file the line names; nullptr: nothing to write, and kept
        int error;
    };
    const Case cases[] = {
        {"text", true, [&] { return kept->setString("after"); }, "kept", EFBIG},
        {"data", true, [&] { return kept->setData(bytes("after"), "content"); }, "kept", EFBIG},
        {"made persistent", true, [&] { return kept->setPersistent(true); }, "kept", EFBIG},
        {"a new board", true, [] { return Pasteboard::pasteboardWithName("fresh", true) != nullptr; }, "fresh", EFBIG},
        {"a folder in its place", false, [] { return Pasteboard::pasteboardWithName("blocked", true) != nullptr; },
         "blocked", EISDIR},
        {"temporary already", true, [&] { return kept->setPersistent(false); }, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ns::LogCapture log;
        bool answered = false;
        {
            std::optional<testsupport::FullDisk> disk;
            if (c.fullDisk) disk.emplace();
            answered = c.write();
        }
        EXPECT_EQ(answered, c.board == nullptr);
        const auto said = testsupport::linesWith(log, "Pasteboard: ");
        if (!c.board) {
            EXPECT_TRUE(said.empty());
            continue;
        }
        ASSERT_EQ(said.size(), 1u);
        const std::string path = folder + "/" + c.board + ".pasteboard";
        EXPECT_NE(said[0].find("cannot write " + path + ": " + std::strerror(c.error)), std::string::npos) << said[0];
        EXPECT_EQ(said[0].find(path), said[0].rfind(path)) << said[0];
    }
    EXPECT_EQ(kept->string(), "before");
    EXPECT_FALSE(kept->isPersistent());
    EXPECT_EQ(kept->changeCount(), changes);
    EXPECT_FALSE(Pasteboard::pasteboardWithName("fresh", false));
    EXPECT_FALSE(Pasteboard::pasteboardWithName("blocked", false));
    EXPECT_TRUE(testsupport::temporariesIn(folder).empty());
    std::filesystem::remove(folder + "/blocked.pasteboard");
}
