#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <optional>

#include "PeerTools.h"
#include "datalibs/ZipArchiver.h"
#include "foundation/DateTime.h"
#include "foundation/Log.h"
#include "support/ZipFixtures.h"

namespace fs = std::filesystem;
using peer::q;
using peer::ran;
using peer::readFile;
using peer::run;
using peer::writeFile;
using zipfixture::craft;

namespace {

struct Recorder : ZipArchiverDelegate {
    std::vector<std::string> errors;
    std::vector<std::string> asked;
    bool answer = true;
    void ErrorMessage(const std::string& m) override { errors.push_back(m); }
    bool OverWriteOperation(const std::string& p) override {
        asked.push_back(p);
        return answer;
    }
};

time_t localTime(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<time_t>(ns::dateFromComponents(y, mo, d, h, mi, s).value().seconds);
}

void setModified(const fs::path& p, time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
}

time_t modified(const fs::path& p) {
    struct stat st{};
    stat(p.c_str(), &st);
    return st.st_mtime;
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>("zip archive data "[i % 17] + (i / 997) % 3);
    return s;
}

// Every file and link below the folder, relative to it, sorted; links are
// not followed.
std::vector<std::string> filesUnder(const fs::path& dir) {
    std::vector<std::string> found;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() || e.is_symlink()) found.push_back(fs::relative(e.path(), dir).string());
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> listing(const fs::path& zipPath) {
    auto r = run("unzip -Z1 " + q(zipPath.string()));
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < r.output.size()) {
        std::size_t nl = r.output.find('\n', start);
        if (nl == std::string::npos) nl = r.output.size();
        names.push_back(r.output.substr(start, nl - start));
        start = nl + 1;
    }
    return names;
}

// Each file below the folder holds its text.
void expectFiles(const fs::path& dir, std::initializer_list<std::pair<const char*, std::string>> files) {
    for (const auto& [name, text] : files) EXPECT_EQ(readFile(dir / name), text) << name;
}

// Opens the archive and extracts it: nullopt when it does not open, else
// whether the extraction succeeded.
std::optional<bool> unzip(ZipArchiver& z, const std::string& zip, const std::string& to, bool overWrite) {
    if (!z.UnzipOpenFile(zip)) return std::nullopt;
    return z.UnzipFileTo(to, overWrite);
}

}  // namespace

TEST(ZipArchiver, WritesArchivesThatInfoZipReadsAndExtractsThemWithDates) {
    auto dir = peer::scratch("zip-roundtrip");
    writeFile(dir / "src/a.txt", "hello");
    writeFile(dir / "src/中文.txt", "你好，世界");
    writeFile(dir / "src/big.bin", pattern(200000));
    writeFile(dir / "src/empty.txt", "");
    time_t when = localTime(2015, 3, 8, 10, 20, 30);
    setModified(dir / "src/a.txt", when);

    fs::path zipPath = dir / "out.zip";
    {
        ZipArchiver z;
        ASSERT_TRUE(z.CreateZipFile2(zipPath.string()));
        EXPECT_TRUE(z.addFileToZip((dir / "src/a.txt").string(), "a.txt"));
        EXPECT_TRUE(z.addFileToZip((dir / "src/中文.txt").string(), "文件夹/中文.txt"));
        EXPECT_TRUE(z.addFileToZip((dir / "src/big.bin").string(), "data/big.bin"));
        EXPECT_TRUE(z.addFileToZip((dir / "src/empty.txt").string(), "empty.txt"));
        EXPECT_TRUE(z.CloseZipFile2());
    }
    EXPECT_TRUE(ran("unzip -t " + q(zipPath.string())));
    EXPECT_EQ(listing(zipPath), (std::vector<std::string>{"a.txt", "文件夹/中文.txt", "data/big.bin", "empty.txt"}));
    auto times = run("zipinfo -T " + q(zipPath.string()) + " a.txt");
    EXPECT_NE(times.output.find("20150308.102030"), std::string::npos) << times.output;
    ASSERT_TRUE(ran("unzip -q " + q(zipPath.string()) + " -d " + q((dir / "peer").string())));
    expectFiles(dir / "peer", {{"文件夹/中文.txt", "你好，世界"}, {"data/big.bin", pattern(200000)}});

    ns::LogCapture log;
    ZipArchiver z;
    ASSERT_TRUE(z.UnzipOpenFile(zipPath.string()));
    EXPECT_TRUE(log.contains("4 entries in the zip file"));
    EXPECT_TRUE(z.UnzipFileTo((dir / "here").string(), true));
    EXPECT_TRUE(z.UnzipCloseFile());
    expectFiles(dir / "here", {{"a.txt", "hello"}, {"文件夹/中文.txt", "你好，世界"}, {"data/big.bin", pattern(200000)}});
    EXPECT_TRUE(fs::exists(dir / "here/empty.txt"));
    EXPECT_EQ(modified(dir / "here/a.txt"), when);
}

TEST(ZipArchiver, ExtractsInfoZipArchivesWithFoldersAndChineseNames) {
    auto dir = peer::scratch("zip-peer");
    writeFile(dir / "src/资料/文件.txt", "内容");
    writeFile(dir / "src/资料/deep/x.bin", pattern(5000));
    fs::create_directories(dir / "src/空目录");
    time_t when = localTime(2019, 12, 31, 23, 59, 58);
    setModified(dir / "src/资料/文件.txt", when);
    ASSERT_TRUE(ran("cd " + q((dir / "src").string()) + " && zip -q -r ../peer.zip 资料 空目录"));

    ZipArchiver z;
    EXPECT_EQ(unzip(z, (dir / "peer.zip").string(), (dir / "out").string(), false), std::optional(true));
    expectFiles(dir / "out", {{"资料/文件.txt", "内容"}, {"资料/deep/x.bin", pattern(5000)}});
    EXPECT_TRUE(fs::is_directory(dir / "out/空目录"));
    EXPECT_EQ(modified(dir / "out/资料/文件.txt"), when);
}

TEST(ZipArchiver, EncryptedEntriesWorkWithInfoZipBothWays) {
    auto dir = peer::scratch("zip-crypt");
    const std::string password = "pässwörd密码";
    writeFile(dir / "src/secret.txt", "top secret text, repeated, repeated, repeated");
    writeFile(dir / "src/blob.bin", pattern(70000));
    writeFile(dir / "src/none.txt", "");

    fs::path ours = dir / "ours.zip";
    {
        ZipArchiver z;
        ASSERT_TRUE(z.CreateZipFile2_Password(ours.string(), password));
        EXPECT_TRUE(z.addFileToZip((dir / "src/secret.txt").string(), "secret.txt"));
        EXPECT_TRUE(z.addFileToZip((dir / "src/blob.bin").string(), "d/blob.bin"));
        EXPECT_TRUE(z.addFileToZip((dir / "src/none.txt").string(), "none.txt"));
        EXPECT_TRUE(z.CloseZipFile2());
    }
    auto details = run("zipinfo -v " + q(ours.string()));
    std::size_t encrypted = 0;
    for (std::size_t at = 0; (at = details.output.find("file security status:", at)) != std::string::npos; ++at)
        if (details.output.compare(details.output.find_first_not_of(' ', details.output.find(':', at) + 1), 9,
                                   "encrypted") == 0)
            ++encrypted;
    EXPECT_EQ(encrypted, 3u) << details.output;
    EXPECT_EQ(readFile(ours).find("top secret"), std::string::npos);
    EXPECT_TRUE(ran("unzip -P " + q(password) + " -t " + q(ours.string())));
    auto wrong = run("unzip -P wrong -t " + q(ours.string()));
    EXPECT_NE(wrong.status, 0) << wrong.output;
    ASSERT_TRUE(ran("unzip -q -P " + q(password) + " " + q(ours.string()) + " -d " + q((dir / "peer").string())));
    EXPECT_EQ(readFile(dir / "peer/d/blob.bin"), pattern(70000));

    // Info-ZIP's own, deflated and stored.
    auto made = run("cd " + q((dir / "src").string()) + " && zip -q -P " + q(password) +
                    " ../theirs.zip secret.txt blob.bin none.txt && zip -q -0 -P " + q(password) +
                    " ../stored.zip secret.txt");
    ASSERT_EQ(made.status, 0) << made.output;
    for (const char* name : {"theirs.zip", "stored.zip", "ours.zip"}) {
        ZipArchiver z;
        auto rec = std::make_shared<Recorder>();
        z.setDelegate(rec);
        ASSERT_TRUE(z.UnzipOpenFile_Password((dir / name).string(), password));
        EXPECT_TRUE(z.UnzipFileTo((dir / "here" / name).string(), true)) << name;
        EXPECT_TRUE(rec->errors.empty()) << name << ": " << (rec->errors.empty() ? "" : rec->errors[0]);
        EXPECT_EQ(readFile(dir / "here" / name / "secret.txt"), "top secret text, repeated, repeated, repeated");
    }
    EXPECT_EQ(readFile(dir / "here/theirs.zip/blob.bin"), pattern(70000));

    for (const std::optional<std::string>& attempt : {std::optional<std::string>("nope"), std::optional<std::string>()}) {
        ZipArchiver z;
        auto rec = std::make_shared<Recorder>();
        z.setDelegate(rec);
        ASSERT_TRUE(attempt ? z.UnzipOpenFile_Password((dir / "theirs.zip").string(), *attempt)
                            : z.UnzipOpenFile((dir / "theirs.zip").string()));
        const fs::path refused = dir / (attempt ? "refused-wrong" : "refused-none");
        EXPECT_FALSE(z.UnzipFileTo(refused.string(), true));
        ASSERT_FALSE(rec->errors.empty());
        // A wrong password passes an entry's one-byte check one time in 256 (Info-ZIP's headers
        // are random): its data is then refused later, but refused all the same.
        if (!attempt || rec->errors.front() == "Error occurs") {
            EXPECT_EQ(rec->errors, std::vector<std::string>{"Error occurs"});
            EXPECT_FALSE(fs::exists(refused / "secret.txt"));
        } else {
            EXPECT_NE(readFile(refused / "secret.txt"), "top secret text, repeated, repeated, repeated");
        }
    }
}

TEST(ZipArchiver, PasswordsAreCopiedAndKeptApartForReadingAndWriting) {
    auto dir = peer::scratch("zip-passwords");
    writeFile(dir / "src/one.txt", "one");
    writeFile(dir / "src/two.txt", "two");
    ASSERT_TRUE(ran("cd " + q((dir / "src").string()) + " && zip -q -P r1 ../read.zip one.txt"));

    ZipArchiver z;
    std::string writePassword = "w1";
    ASSERT_TRUE(z.CreateZipFile2_Password((dir / "write.zip").string(), writePassword));
    writePassword = "changed";
    ASSERT_TRUE(z.UnzipOpenFile_Password((dir / "read.zip").string(), "r1"));
    EXPECT_TRUE(z.addFileToZip((dir / "src/one.txt").string(), "one.txt"));
    EXPECT_TRUE(z.UnzipFileTo((dir / "out").string(), true));
    EXPECT_TRUE(z.UnzipCloseFile());
    EXPECT_TRUE(z.addFileToZip((dir / "src/two.txt").string(), "two.txt"));
    EXPECT_TRUE(z.CloseZipFile2());
    EXPECT_EQ(readFile(dir / "out/one.txt"), "one");
    EXPECT_TRUE(ran("unzip -P w1 -t " + q((dir / "write.zip").string())));

    // Closing clears the password: the next archive is written in the clear.
    ASSERT_TRUE(z.CreateZipFile2((dir / "plain.zip").string()));
    EXPECT_TRUE(z.addFileToZip((dir / "src/one.txt").string(), "one.txt"));
    EXPECT_TRUE(z.CloseZipFile2());
    EXPECT_EQ(run("unzip -t " + q((dir / "plain.zip").string()) + " </dev/null").status, 0);
}

TEST(ZipArchiver, EntriesLeadingOutsideTheTargetFolderAreSkipped) {
    auto dir = peer::scratch("zip-slip");
    std::string absolute = (dir / "absolute.txt").string();
    craft(dir / "evil.zip", {{"../evil.txt", "x"},
                             {absolute, "x"},
                             {"C:\\windows.txt", "x"},
                             {"a\\..\\..\\back.txt", "x"},
                             {"ok/../../up.txt", "x"},
                             {"", "nameless"},
                             {"good.txt", "fine"}});
    ZipArchiver z;
    auto rec = std::make_shared<Recorder>();
    z.setDelegate(rec);
    EXPECT_EQ(unzip(z, (dir / "evil.zip").string(), (dir / "target/inner").string(), true), std::optional(false));
    EXPECT_EQ(readFile(dir / "target/inner/good.txt"), "fine");

    EXPECT_EQ(filesUnder(dir), (std::vector<std::string>{"evil.zip", "target/inner/good.txt"}));
    ASSERT_EQ(rec->errors.size(), 5u);
    EXPECT_EQ(rec->errors[0], "Skipped entry outside the target folder: ../evil.txt");
    EXPECT_EQ(rec->errors[3], "Skipped entry outside the target folder: a/../../back.txt");

    // A nameless entry alone is skipped without failing the extraction.
    craft(dir / "nameless.zip", {{"", "x"}, {"k.txt", "k"}});
    ASSERT_TRUE(z.UnzipOpenFile((dir / "nameless.zip").string()));
    rec->errors.clear();
    EXPECT_TRUE(z.UnzipFileTo((dir / "n").string(), true));
    EXPECT_TRUE(rec->errors.empty());
    EXPECT_EQ(readFile(dir / "n/k.txt"), "k");
}

TEST(ZipArchiver, FoldersBackslashesAndTheOverwriteQuestion) {
    auto dir = peer::scratch("zip-overwrite");
    craft(dir / "a.zip", {{"dir\\sub\\f.txt", "new"}, {"emptydir/", ""}, {"top.txt", "new top"}});
    fs::path out = dir / "out";
    writeFile(out / "top.txt", "old top");

    ZipArchiver z;
    EXPECT_EQ(unzip(z, (dir / "a.zip").string(), out.string(), false), std::optional(true));  // no delegate: replaced
    EXPECT_EQ(readFile(out / "dir/sub/f.txt"), "new");
    EXPECT_TRUE(fs::is_directory(out / "emptydir"));
    EXPECT_TRUE(fs::is_empty(out / "emptydir"));
    EXPECT_EQ(readFile(out / "top.txt"), "new top");

    auto rec = std::make_shared<Recorder>();
    rec->answer = false;
    z.setDelegate(rec);
    writeFile(out / "top.txt", "keep me");
    EXPECT_TRUE(z.UnzipFileTo(out.string(), false));
    EXPECT_EQ(readFile(out / "top.txt"), "keep me");
    EXPECT_EQ(rec->asked, (std::vector<std::string>{(out / "dir/sub/f.txt").string(), (out / "top.txt").string()}));

    rec->asked.clear();
    EXPECT_TRUE(z.UnzipFileTo(out.string(), true));
    EXPECT_TRUE(rec->asked.empty());
    EXPECT_EQ(readFile(out / "top.txt"), "new top");
}

TEST(ZipArchiver, WithoutArchivesAndWithoutEntries) {
    auto dir = peer::scratch("zip-none");
    ZipArchiver z;
    auto rec = std::make_shared<Recorder>();
    z.setDelegate(rec);
    EXPECT_FALSE(z.CloseZipFile2());
    EXPECT_TRUE(z.UnzipCloseFile());
    EXPECT_FALSE(z.addFileToZip("/etc/hostname", "x"));
    EXPECT_FALSE(z.UnzipFileTo((dir / "out").string(), true));
    EXPECT_EQ(rec->errors, (std::vector<std::string>{"Failed", "Error occurs"}));

    // minizip cannot open an archive without entries at all.
    ASSERT_TRUE(z.CreateZipFile2((dir / "empty.zip").string()));
    EXPECT_TRUE(z.CloseZipFile2());
    EXPECT_FALSE(z.UnzipOpenFile((dir / "empty.zip").string()));
    EXPECT_FALSE(z.UnzipOpenFile((dir / "missing.zip").string()));
    EXPECT_FALSE(z.CreateZipFile2((dir / "no/such/folder/x.zip").string()));
}

TEST(ZipArchiver, UnreadableSourcesAddNothing) {
    auto dir = peer::scratch("zip-sources");
    writeFile(dir / "real.txt", "real");
    fs::create_directories(dir / "folder");
    ZipArchiver z;
    ASSERT_TRUE(z.CreateZipFile2((dir / "s.zip").string()));
    EXPECT_FALSE(z.addFileToZip((dir / "missing.txt").string(), "missing.txt"));
    EXPECT_FALSE(z.addFileToZip((dir / "folder").string(), "folder"));
    EXPECT_TRUE(z.addFileToZip((dir / "real.txt").string(), "real.txt"));
    EXPECT_TRUE(z.CloseZipFile2());
    EXPECT_EQ(listing(dir / "s.zip"), std::vector<std::string>{"real.txt"});
}

TEST(ZipArchiver, BrokenDataAndUnwritableFilesAreReported) {
    auto dir = peer::scratch("zip-broken");
    writeFile(dir / "src/crc.txt", "abcdefghijklmnop");
    writeFile(dir / "src/size.txt", "12345");
    ASSERT_TRUE(ran("cd " + q((dir / "src").string()) + " && zip -q -0 ../crc.zip crc.txt && zip -q -0 ../size.zip size.txt"));

    std::string bytes = readFile(dir / "crc.zip");
    bytes[bytes.find("abcdefghijklmnop") + 3] = 'X';
    writeFile(dir / "crc.zip", bytes);
    // The central directory claims one byte more than the entry holds.
    bytes = readFile(dir / "size.zip");
    std::size_t local = bytes.find("PK\x03\x04"), central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[local + 22] = 6;
    bytes[central + 24] = 6;
    writeFile(dir / "size.zip", bytes);

    ZipArchiver z;
    auto rec = std::make_shared<Recorder>();
    z.setDelegate(rec);
    EXPECT_EQ(unzip(z, (dir / "crc.zip").string(), (dir / "out").string(), true), std::optional(false));
    EXPECT_EQ(rec->errors, std::vector<std::string>{"CRC error in zip file: crc.txt"});

    rec->errors.clear();
    EXPECT_EQ(unzip(z, (dir / "size.zip").string(), (dir / "out").string(), true), std::optional(false));
    EXPECT_EQ(rec->errors, std::vector<std::string>{"Failed to reading zip file"});

    // A folder stands where the file should go.
    craft(dir / "blocked.zip", {{"f.txt", "data"}, {"g.txt", "more"}});
    fs::create_directories(dir / "blocked/f.txt");
    rec->errors.clear();
    EXPECT_EQ(unzip(z, (dir / "blocked.zip").string(), (dir / "blocked").string(), true), std::optional(false));
    EXPECT_EQ(rec->errors, std::vector<std::string>{"Failed to write file: " + (dir / "blocked/f.txt").string()});
    EXPECT_EQ(readFile(dir / "blocked/g.txt"), "more");
}

TEST(ZipArchiver, OpeningAnotherArchiveClosesTheFirst) {
    auto dir = peer::scratch("zip-reopen");
    writeFile(dir / "f.txt", "f");
    {
        ZipArchiver z;
        ASSERT_TRUE(z.CreateZipFile2((dir / "a.zip").string()));
        EXPECT_TRUE(z.addFileToZip((dir / "f.txt").string(), "in-a.txt"));
        ASSERT_TRUE(z.CreateZipFile2((dir / "b.zip").string()));
        auto a = run("unzip -t " + q((dir / "a.zip").string()));
        EXPECT_EQ(a.status, 0) << a.output;
        EXPECT_TRUE(z.addFileToZip((dir / "f.txt").string(), "in-b.txt"));

        ASSERT_TRUE(z.UnzipOpenFile((dir / "a.zip").string()));
        ASSERT_TRUE(z.UnzipOpenFile((dir / "a.zip").string()));
    }  // the destructor finishes b.zip
    EXPECT_EQ(listing(dir / "b.zip"), std::vector<std::string>{"in-b.txt"});
}

TEST(ZipArchiver, DatesBeforeNineteenEightyBecomeItsFirstDay) {
    EXPECT_EQ(ZipArchiver::Date1980().seconds, 315504000.0);  // Asia/Shanghai
    auto dir = peer::scratch("zip-dates");
    writeFile(dir / "old.txt", "old");
    setModified(dir / "old.txt", localTime(1975, 6, 1, 8, 0, 0));
    ZipArchiver z;
    ASSERT_TRUE(z.CreateZipFile2((dir / "d.zip").string()));
    EXPECT_TRUE(z.addFileToZip((dir / "old.txt").string(), "old.txt"));
    EXPECT_TRUE(z.CloseZipFile2());
    EXPECT_EQ(unzip(z, (dir / "d.zip").string(), (dir / "out").string(), true), std::optional(true));
    EXPECT_EQ(static_cast<double>(modified(dir / "out/old.txt")), ZipArchiver::Date1980().seconds);
}

TEST(ZipArchiver, ZipBombsAreRefusedBeforeAnythingIsWritten) {
    // Two archives of about 1 MB that inflate to 1 GiB: one entry, and 1,024
    // entries of 1 MiB each (each alone below the ratio's floor).
    std::vector<zipfixture::Zeros> many;
    for (int i = 0; i < 1024; ++i) many.push_back({"part" + std::to_string(i) + ".bin", 1u << 20, std::nullopt});
    struct Case {
        const char* archive;
        std::vector<zipfixture::Zeros> entries;
        std::string why;
    } cases[] = {
        {"one.zip", {{"bomb.bin", 1ull << 30, std::nullopt}},
         "Archive refused: entry bomb.bin would inflate 1073741824 bytes from "},
        {"many.zip", many, "Archive refused: its entries would write more than 536870912 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        auto dir = peer::scratch("zip-bomb");
        fs::path archive = dir / c.archive;
        zipfixture::craftZeros(archive, c.entries);
        EXPECT_LT(fs::file_size(archive), 1300000u);
        auto claimed = run("unzip -l " + q(archive.string()) + " | tail -1");
        EXPECT_NE(claimed.output.find("1073741824"), std::string::npos) << claimed.output;

        ns::LogCapture log;
        ZipArchiver z;
        auto rec = std::make_shared<Recorder>();
        z.setDelegate(rec);
        EXPECT_EQ(unzip(z, archive.string(), (dir / "target").string(), true), std::optional(false));
        ASSERT_EQ(rec->errors.size(), 1u);
        EXPECT_EQ(rec->errors[0].rfind(c.why, 0), 0u) << rec->errors[0];
        EXPECT_TRUE(log.contains(rec->errors[0]));
        EXPECT_EQ(filesUnder(dir), std::vector<std::string>{c.archive});
    }
}

TEST(ZipArchiver, EachLimitRefusesTheArchiveAndZeroSwitchesItOff) {
    auto dir = peer::scratch("zip-limits");
    craft(dir / "three.zip", {{"a.txt", "123456"}, {"b.txt", "123456"}, {"zeros.bin", std::string(2u << 20, '\0')}});
    using Limits = ZipArchiver::Limits;
    struct Case {
        const char* what;
        Limits limits;
        std::string why;  // "" when the archive is extracted
    } cases[] = {
        {"ratio, by default", Limits{}, "Archive refused: entry zeros.bin would inflate 2097152 bytes from "},
        {"total", Limits{(2u << 20) + 11, 0, 0, 0}, "Archive refused: its entries would write more than 2097163 bytes"},
        {"total, met exactly", Limits{(2u << 20) + 12, 0, 0, 0}, ""},
        {"entries", Limits{0, 2, 0, 0}, "Archive refused: 3 entries, more than 2"},
        {"ratio above the floor only", Limits{0, 0, 100, 2u << 20}, ""},
        {"none", Limits{0, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path target = dir / c.what;
        ZipArchiver z;
        auto rec = std::make_shared<Recorder>();
        z.setDelegate(rec);
        z.setLimits(c.limits);
        ASSERT_TRUE(z.UnzipOpenFile((dir / "three.zip").string()));
        EXPECT_EQ(z.UnzipFileTo(target.string(), true), c.why.empty());
        if (c.why.empty()) {
            EXPECT_TRUE(rec->errors.empty());
            EXPECT_EQ(fs::file_size(target / "zeros.bin"), 2u << 20);
        } else {
            ASSERT_EQ(rec->errors.size(), 1u);
            EXPECT_EQ(rec->errors[0].rfind(c.why, 0), 0u) << rec->errors[0];
            EXPECT_FALSE(fs::exists(target));
        }
    }
}

TEST(ZipArchiver, AnEntryIsWrittenOnlyUpToTheSizeItDeclares) {
    auto dir = peer::scratch("zip-liar");
    zipfixture::craftZeros(dir / "liar.zip", {{"liar.bin", 50u << 20, 10}, {"after.bin", 1u << 20, std::nullopt}});
    ns::LogCapture log;
    ZipArchiver z;
    auto rec = std::make_shared<Recorder>();
    z.setDelegate(rec);
    EXPECT_EQ(unzip(z, (dir / "liar.zip").string(), (dir / "out").string(), true), std::optional(false));
    EXPECT_EQ(fs::file_size(dir / "out/liar.bin"), 10u);
    EXPECT_EQ(fs::file_size(dir / "out/after.bin"), 1u << 20);
    EXPECT_EQ(rec->errors, std::vector<std::string>{"Entry holds more than its declared size: liar.bin"});
    EXPECT_TRUE(log.contains("Entry holds more than its declared size: liar.bin"));
}

TEST(ZipArchiver, SymbolicLinksInsideTheTargetAreNotFollowed) {
    auto dir = peer::scratch("zip-links");
    fs::path target = dir / "target";
    writeFile(dir / "outside/victim.txt", "original");
    fs::create_directories(target);
    fs::create_directory_symlink(dir / "outside", target / "inside");
    fs::create_symlink(dir / "outside/victim.txt", target / "leaf.txt");
    craft(dir / "links.zip", {{"inside/planted.txt", "planted"}, {"leaf.txt", "replaced"}, {"fine.txt", "ok"}});

    for (bool overWrite : {true, false}) {
        SCOPED_TRACE(overWrite);
        ZipArchiver z;
        auto rec = std::make_shared<Recorder>();
        z.setDelegate(rec);
        EXPECT_EQ(unzip(z, (dir / "links.zip").string(), target.string(), overWrite), std::optional(false));
        EXPECT_EQ(rec->errors, (std::vector<std::string>{"Failed to create folder: " + (target / "inside").string(),
                                                         "Failed to write file: " + (target / "leaf.txt").string()}));
        EXPECT_EQ(filesUnder(dir / "outside"), std::vector<std::string>{"victim.txt"});
        EXPECT_EQ(readFile(dir / "outside/victim.txt"), "original");
        EXPECT_EQ(readFile(target / "fine.txt"), "ok");
        EXPECT_TRUE(fs::is_symlink(target / "leaf.txt"));
    }
}

namespace {

// The archive written, then extracted by a fresh wrapper with these limits.
struct Extraction {
    bool answered = false;
    std::vector<std::string> errors;
};
Extraction extract(const fs::path& archive, const fs::path& target, const ZipArchiver::Limits& limits = {}) {
    ZipArchiver z;
    auto rec = std::make_shared<Recorder>();
    z.setDelegate(rec);
    z.setLimits(limits);
    Extraction e;
    e.answered = z.UnzipOpenFile(archive.string()) && z.UnzipFileTo(target.string(), true);
    e.errors = rec->errors;
    return e;
}

// What Info-ZIP counts in the archive: "N files, ..." (its first word).
std::string infoZipCount(const fs::path& archive) {
    auto r = run("unzip -Zt " + q(archive.string()));
    return r.status == 0 ? r.output.substr(0, r.output.find(' ')) : "status " + std::to_string(r.status);
}

}  // namespace

TEST(ZipArchiver, TheEntryLimitItselfIsExtractedWhole) {
    // Folder entries of one folder, then one file: the file is there when
    // the extraction went through every entry.
    struct Case {
        const char* what;
        std::size_t entries;
        bool zip64;
        std::string why;  // "" when extracted
    } cases[] = {
        {"one below", 65534, false, ""},
        {"the limit, counted at the end", 65535, false, ""},
        {"the limit, with the 64-bit end records", 65535, true, ""},
        {"one beyond, with the 64-bit end records", 65536, true, "Archive refused: 65536 entries, more than 65535"},
        {"one beyond, the count held at the limit", 65536, false, "Archive refused: more than 65535 entries"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto dir = peer::scratch("zip-entry-limit");
        zipfixture::RawZip raw;
        raw.add("d/");
        for (std::size_t i = 1; i + 1 < c.entries; ++i) raw.again("d/", 0);
        raw.add("last.txt", "last");
        raw.write(dir / "a.zip", c.zip64);
        if (c.zip64 || c.entries <= 65535) {  // what other readers count too
            EXPECT_EQ(infoZipCount(dir / "a.zip"), std::to_string(c.entries));
        }

        Extraction e = extract(dir / "a.zip", dir / "out");
        EXPECT_EQ(e.answered, c.why.empty());
        if (c.why.empty()) {
            EXPECT_EQ(e.errors, std::vector<std::string>{});
            EXPECT_EQ(readFile(dir / "out/last.txt"), "last");
        } else {
            ASSERT_EQ(e.errors.size(), 1u);
            EXPECT_EQ(e.errors[0], c.why);
            EXPECT_FALSE(fs::exists(dir / "out"));
        }
    }

}

TEST(ZipArchiver, MoreEntriesThanTheEndRecordCountsAreWrittenWithTheir64BitCount) {
    // Info-ZIP counts what was written, and so does the extractor, which
    // refuses it by its count alone.
    auto dir = peer::scratch("zip-write-zip64");
    writeFile(dir / "f.txt", "f");
    for (std::size_t entries : {65535u, 65536u}) {
        SCOPED_TRACE(entries);
        const fs::path archive = dir / (std::to_string(entries) + ".zip");
        {
            ZipArchiver z;
            ASSERT_TRUE(z.CreateZipFile2(archive.string()));
            for (std::size_t i = 0; i < entries; ++i)
                ASSERT_TRUE(z.addFileToZip((dir / "f.txt").string(), "f" + std::to_string(i)));
            EXPECT_TRUE(z.CloseZipFile2());
        }
        EXPECT_EQ(infoZipCount(archive), std::to_string(entries));
        EXPECT_TRUE(ran("unzip -tqq " + q(archive.string())));
        EXPECT_EQ(readFile(archive).find("PK\x06\x06") != std::string::npos, entries > 65535);

        ZipArchiver::Limits fewer;
        fewer.entries = entries - 1;
        Extraction e = extract(archive, dir / "out", fewer);
        EXPECT_FALSE(e.answered);
        EXPECT_EQ(e.errors, std::vector<std::string>{"Archive refused: " + std::to_string(entries) + " entries, more than " +
                                                     std::to_string(entries - 1)});
    }
}
