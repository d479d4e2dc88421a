// Pasteboards: data per type, named boards, persistence, and records
// exchanged between two processes through the device store.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "support/AllocationCount.h"
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

namespace {

// A board's file as the store lays it out, for boards written by hand:
// the header, then each item's type, kind and bytes, with the lengths and
// the item count as given.
struct BoardFile {
    std::string bytes{"KLPB\x01\x01", 6};  // magic, persistent
    BoardFile& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
        return *this;
    }
    explicit BoardFile(std::uint32_t items) {
        bytes.append(24, '\0');  // creator and change count
        u32(items);
    }
    BoardFile& item(const std::string& type, std::uint32_t length, const std::string& content) {
        u32(static_cast<std::uint32_t>(type.size()));
        bytes += type;
        bytes.push_back('\0');
        u32(length);
        bytes += content;
        return *this;
    }
};

}  // namespace

// A board's file beyond the bound (only another program can have written
// one) reads as no board, said in one line naming the file with the reason;
// one whose counts or lengths claim more than it holds is unreadable. Neither
// read allocates what the file claims.
TEST_F(PasteboardTest, AFileBeyondTheBoundOrClaimingMoreThanItHoldsIsNoBoard) {
    namespace fs = std::filesystem;
    const std::string path = ui::deviceStoreSubdirectory("Pasteboards") + "/claims.pasteboard";
    std::string manyEmptyItems = BoardFile(0xFFFFFFFF).bytes;
    manyEmptyItems.append(1u << 20, '\0');  // 116508 empty items, of 2^32 - 1 claimed
    // As many items as its size could hold, the first taking all of it.
    const std::string first(1u << 20, 'x');
    const std::string oneLargeItem =
        BoardFile((4 + 7 + 1 + 4 + (1u << 20)) / 9).item("content", 1u << 20, first).bytes;
    struct Case {
        const char* what;
        std::uint64_t sparseSize;  // the file, sparse, when not 0
        std::string bytes;         // else the file
        const char* said;
        std::size_t mostAllocated;
    };
    const Case cases[] = {
        {"one byte beyond", ui::kPasteboardMaxFileBytes + 1, {}, "cannot read", 64u << 10},
        {"a terabyte", std::uint64_t{1} << 40, {}, "cannot read", 64u << 10},
        {"more items than it holds", 0, manyEmptyItems, "unreadable", (1u << 20) + (64u << 10)},
        {"a longer item than it holds", 0, BoardFile(1).item("content", 0xFFFFFFFF, "short").bytes, "unreadable",
         64u << 10},
        {"a longer type than it holds", 0, BoardFile(1).u32(0xFFFFFFFF).bytes + "content", "unreadable", 64u << 10},
        {"more than its items", 0, BoardFile(1).item("content", 2, "ok").bytes + "more", "unreadable", 64u << 10},
        {"fewer items than it could hold", 0, oneLargeItem, "unreadable", (2u << 20) + (64u << 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path, std::ios::binary) << c.bytes;
        if (c.sparseSize) fs::resize_file(path, c.sparseSize);
        ns::LogCapture log;
        ui::PasteboardPtr board;
        const auto used =
            testsupport::allocationPeak([&] { board = Pasteboard::pasteboardWithName("claims", false); }, 256u << 20);
        EXPECT_FALSE(used.capped);
        EXPECT_LT(used.peak, c.mostAllocated);
        EXPECT_FALSE(board);
        const auto said = testsupport::linesWith(log, "Pasteboard: ");
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find(c.said), std::string::npos) << said[0];
        if (c.sparseSize) {
            EXPECT_NE(said[0].find(path + ": more than"), std::string::npos) << said[0];
        }
    }
    fs::remove(path);
}

// Opening a board, making it persistent (as it is already) and replacing
// its content need only what it is, not its items: a board of many items
// (another program's) is walked for them, never made item by item.
TEST_F(PasteboardTest, OpeningAndReplacingABoardDoNotMakeItsItems) {
    const std::string path = ui::deviceStoreSubdirectory("Pasteboards") + "/crowded.pasteboard";
    constexpr std::uint32_t kItems = 100000;
    BoardFile file(kItems);
    for (std::uint32_t i = 0; i < kItems; ++i) file.item("", 0, "");
    std::ofstream(path, std::ios::binary) << file.bytes;
    ui::PasteboardPtr board;
    const auto used = testsupport::allocationPeak(
        [&] {
            board = Pasteboard::pasteboardWithName("crowded", false);
            if (board && board->setPersistent(true)) board->setString("taken");
        },
        256u << 20);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->string(), "taken");
    // The file read once at a time; its items would take six times as much.
    EXPECT_LT(used.peak, 2 * file.bytes.size() + (64u << 10));
    std::filesystem::remove(path);
}

// The largest board the writer writes reads back whole; one byte more is
// not written, and the board keeps what it held.
TEST_F(PasteboardTest, ABoardAtTheBoundReadsBackAndOneBeyondIsNotWritten) {
    auto board = Pasteboard::pasteboardWithName("large", true);
    ASSERT_TRUE(board && board->setString("before"));
    const std::string type = "content";
    // The header (magic, kind, creator, change count, item count) and the
    // item's lengths and kind.
    const std::size_t room = ui::kPasteboardMaxFileBytes - (5 + 1 + 24 + 4) - (4 + 1 + 4) - type.size();
    ns::Bytes largest(room, 0x5A);
    ASSERT_TRUE(board->setData(largest, type));
    const std::string path = ui::deviceStoreSubdirectory("Pasteboards") + "/large.pasteboard";
    EXPECT_EQ(std::filesystem::file_size(path), ui::kPasteboardMaxFileBytes);
    EXPECT_TRUE(board->dataForPasteboardType(type) == largest);

    board->setString("before");
    largest.push_back(0x5A);
    ns::LogCapture log;
    EXPECT_FALSE(board->setData(largest, type));
    const auto said = testsupport::linesWith(log, "Pasteboard: ");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("cannot write " + path + ": more than"), std::string::npos) << said[0];
    EXPECT_EQ(board->string(), "before");
}
