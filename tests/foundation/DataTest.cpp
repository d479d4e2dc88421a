#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "support/AllocationCount.h"

using namespace ns;

TEST(DataBase64, RFC4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (auto [plain, coded] : vectors) {
        EXPECT_EQ(base64Encode(std::string_view(plain)), coded);
        auto back = base64Decode(coded);
        ASSERT_TRUE(back.has_value()) << coded;
        EXPECT_EQ(std::string(back->begin(), back->end()), plain);
    }
    // Binary bytes and no line breaks, however long.
    Bytes all(300);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
    std::string text = base64Encode(all);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(base64Decode(text), all);
}

TEST(DataBase64, DecodingRejectsBadInput) {
    for (const char* bad : {"Zg", "Zg=", "Zm9v\nYmFy", "Zm9v YmFy", "Zg==Zg==", "Z===", "Zm9*", "====", "中文中文"})
        EXPECT_FALSE(base64Decode(bad).has_value()) << bad;
}

TEST(DataDigest, KnownVectors) {
    EXPECT_EQ(md5Hex(std::string_view("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex(std::string_view("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex(std::string_view("The quick brown fox jumps over the lazy dog")),
              "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(sha1Hex(std::string_view("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(sha1Hex(std::string_view("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(md5(std::string_view("abc")).size(), 16u);
    EXPECT_EQ(sha1(Bytes{'a', 'b', 'c'}), sha1(std::string_view("abc")));
    // Chinese text digests its UTF-8 bytes.
    EXPECT_EQ(md5Hex(std::string_view("中文")), "a7bac2239fcdcb3a067903d8077c4a07");
}

TEST(DataHex, EncodeDecode) {
    EXPECT_EQ(hexEncode(Bytes{0x00, 0xAB, 0x7f}), "00ab7f");
    EXPECT_EQ(hexEncode(Bytes{0x00, 0xAB}, true), "00AB");
    EXPECT_EQ(hexDecode("00aB7F"), (Bytes{0x00, 0xAB, 0x7F}));
    EXPECT_FALSE(hexDecode("abc").has_value());
    EXPECT_FALSE(hexDecode("zz").has_value());
}

// The temporary files writes cut short left in a folder: only those of the
// file named (of any file without a name), only those old enough, and only
// files that writeFileAtomically could have made.
TEST(DataFiles, StrayTemporariesGoByNameAndAge) {
    namespace fs = std::filesystem;
    struct Case {
        const char* entry;
        bool folder;
        int ageSeconds;
        const char* name;
        double minimumAge;
        bool removed;
    } cases[] = {
        {"f.plist.tmp-Ab12Cd", false, 0, "f.plist", 0, true},
        {"f.plist.tmp-Ab12Cd", false, 0, "g.plist", 0, false},
        {"f.plist.tmp-Ab12Cd", false, 0, "f", 0, false},
        {"a.item.tmp-Xy34Zw", false, 120, "", 60, true},
        {"a.item.tmp-Xy34Zw", false, 5, "", 60, false},
        {"notes.tmp-draft", false, 120, "", 0, false},
        {"a.item", false, 120, "", 0, false},
        {"d.tmp-Ab12Cd", true, 120, "", 0, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " for \"" + c.name + "\"");
        const fs::path folder = fs::path(temporaryDirectory()) / ("stray-" + std::to_string(n++));
        fs::create_directories(folder);
        const fs::path entry = folder / c.entry;
        if (c.folder) fs::create_directory(entry);
        else std::ofstream(entry) << "half";
        fs::last_write_time(entry, fs::file_time_type::clock::now() - std::chrono::seconds(c.ageSeconds));
        removeStrayTemporaries(folder.string(), c.name, c.minimumAge);
        EXPECT_EQ(!fs::exists(entry), c.removed);
    }
}

TEST(DataFiles, ReadMissingOrFolderGivesNothing) {
    std::string dir = temporaryDirectory();
    EXPECT_FALSE(readFile(dir + "/missing").has_value());
    EXPECT_FALSE(readFile(dir).has_value());
    ASSERT_TRUE(writeFileAtomically(dir + "/empty", Bytes{}));
    auto empty = readFile(dir + "/empty");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

TEST(DataFiles, AtomicWriteReplacesWholeAndLeavesNoTemporary) {
    std::string dir = temporaryDirectory() + "/atomic";
    ASSERT_TRUE(FileManager::defaultManager().createDirectoryAtPath(dir, true));
    std::string path = dir + "/f.bin";
    ASSERT_TRUE(writeFileAtomically(path, std::string_view("first version, longer")));
    ASSERT_TRUE(writeFileAtomically(path, std::string_view("second")));
    auto back = readFile(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(std::string(back->begin(), back->end()), "second");
    EXPECT_EQ(FileManager::defaultManager().contentsOfDirectoryAtPath(dir), (std::vector<std::string>{"f.bin"}));

    ErrorPtr error;
    EXPECT_FALSE(writeFileAtomically(dir + "/no/such/folder/f", Bytes{1}, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, kCocoaErrorDomain);
    EXPECT_EQ(error->code, FileNoSuchFileError);
}

// A read within a bound takes a file up to the bound and refuses a larger
// one, however large, without allocating its size: a sparse file's stated
// size, a file that says it is empty and holds more (as /proc's do), and a
// pipe, which is refused rather than waited on.
TEST(DataFiles, ABoundedReadRefusesWhatPassesTheBoundWithoutAllocatingIt) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(temporaryDirectory()) / "bounded";
    fs::create_directories(dir);
    std::ofstream(dir / "at") << std::string(1000, 'x');
    std::ofstream(dir / "sparse").close();
    fs::resize_file(dir / "sparse", std::uint64_t{1} << 40);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    struct Case {
        const char* what;
        fs::path path;
        std::size_t bound;
        long code;  // 0: read whole
    };
    const Case cases[] = {
        {"at the bound", dir / "at", 1000, 0},
        {"one byte beyond", dir / "at", 999, FileReadTooLargeError},
        {"a terabyte, sparse", dir / "sparse", 1u << 20, FileReadTooLargeError},
        {"more than its stated size", "/proc/self/status", 16, FileReadTooLargeError},
        {"a pipe", dir / "pipe", 1u << 20, FileReadUnknownError},
        {"a folder", dir, 1u << 20, FileReadUnknownError},
        {"missing", dir / "missing", 1u << 20, FileNoSuchFileError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<Bytes> bytes;
        ErrorPtr error;
        const auto used = testsupport::allocationPeak([&] { bytes = readFile(c.path, c.bound, &error); }, 64u << 20);
        EXPECT_FALSE(used.capped);
        if (c.code == 0) {
            ASSERT_TRUE(bytes);
            EXPECT_EQ(bytes->size(), c.bound);
            EXPECT_LT(used.peak, c.bound + (16u << 10));
            continue;
        }
        EXPECT_FALSE(bytes);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, c.code);
        EXPECT_EQ(error->userInfo[kFilePathErrorKey].str(), c.path.string());
        EXPECT_LT(used.peak, 16u << 10);
    }
    // The unbounded read refuses a pipe too.
    EXPECT_FALSE(readFile(dir / "pipe"));
    fs::remove_all(dir);
}
