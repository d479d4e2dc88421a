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
#include "support/ChildProcess.h"
#include "support/HostileZips.h"
#include "support/PeakMemory.h"
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
// not followed. (find, since paths may be longer than the system opens.)
std::vector<std::string> filesUnder(const fs::path& dir) {
    auto r = run("cd " + q(dir.string()) + " && find . \\( -type f -o -type l \\) -printf '%P\\n'");
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<std::string> found;
    std::size_t start = 0;
    while (start < r.output.size()) {
        const std::size_t nl = std::min(r.output.find('\n', start), r.output.size());
        found.push_back(r.output.substr(start, nl - start));
        start = nl + 1;
    }
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

// The archive extracted by a fresh wrapper with these limits: what it
// answered, and the problems it reported.
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

TEST(ZipArchiver, NamesBeyondThePathLimitRefuseTheArchiveBeforeAnythingIsWritten) {
    struct Case {
        const char* what;
        std::size_t nameBytes;
        std::uint64_t pathBytes;  // the limit
        std::string why;          // "" when extracted
    } cases[] = {
        {"at the limit", 4096, 4096, ""},
        {"one beyond", 4097, 4096, "Archive refused: an entry's name of 4097 bytes, more than 4096"},
        {"32,000 levels", 64000, 4096, "Archive refused: an entry's name of 64000 bytes, more than 4096"},
        // Longer than the system opens in one call: made one level at a time.
        {"no limit", 6000, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto dir = peer::scratch("zip-path-limit");
        const std::string deep = hostilezip::deepName("t00", c.nameBytes, 1);
        zipfixture::RawZip raw;
        raw.add("first.txt", "first");
        raw.add(deep, "deep");
        raw.write(dir / "a.zip");
        ZipArchiver::Limits limits;
        limits.pathBytes = c.pathBytes;
        Extraction e = extract(dir / "a.zip", dir / "out", limits);
        EXPECT_EQ(e.answered, c.why.empty());
        if (c.why.empty()) {
            EXPECT_EQ(e.errors, std::vector<std::string>{});
            EXPECT_EQ(filesUnder(dir / "out"), (std::vector<std::string>{"first.txt", deep}));
        } else {
            EXPECT_EQ(e.errors, std::vector<std::string>{c.why});
            EXPECT_FALSE(fs::exists(dir / "out"));
        }
    }
}

TEST(ZipArchiver, FoldersTakenInTurnsAreExtractedAsInfoZipExtractsThem) {
    auto dir = peer::scratch("zip-turns");
    // Three deep trees in turn, then names that go up, down, across and
    // back into folders made before, with folder entries among them.
    zipfixture::RawZip raw;
    for (std::size_t i = 0; i < 48; ++i) raw.add(hostilezip::deepName("t0" + std::to_string(i % 3), 1200, i), "x");
    const std::vector<std::string> names = {
        "a/b/c/1.txt", "a/b/2.txt", "a/b/c/d/3.txt", "a/b/c/4.txt", "x/5.txt", "a/b/c/d/6.txt", "7.txt",
        "a/b/c/d/8.txt", "a/bc/9.txt", "a/b/10.txt", "e/", "e/f/", "a/b/c/e/11.txt", "e/f/12.txt",
    };
    for (const std::string& name : names) raw.add(name, name.back() == '/' ? "" : "text of " + name);
    raw.write(dir / "turns.zip");

    Extraction e = extract(dir / "turns.zip", dir / "ours");
    EXPECT_TRUE(e.answered);
    EXPECT_EQ(e.errors, std::vector<std::string>{});
    ASSERT_TRUE(ran("unzip -qq " + q((dir / "turns.zip").string()) + " -d " + q((dir / "theirs").string())));
    const std::vector<std::string> ours = filesUnder(dir / "ours");
    EXPECT_EQ(ours, filesUnder(dir / "theirs"));
    EXPECT_EQ(ours.size(), raw.entries() - 2);  // all but the folder entries
    for (const std::string& name : ours) EXPECT_EQ(readFile(dir / "ours" / name), readFile(dir / "theirs" / name)) << name;
    EXPECT_TRUE(fs::is_directory(dir / "ours/e/f"));

    // The same folder however its name is written.
    craft(dir / "forms.zip", {{"p//q/./r/1.txt", "1"}, {"s.txt", "s"}, {"p/q/r/2.txt", "2"}, {"./p/q/r/", ""}});
    e = extract(dir / "forms.zip", dir / "forms");
    EXPECT_TRUE(e.answered);
    EXPECT_EQ(filesUnder(dir / "forms"), (std::vector<std::string>{"p/q/r/1.txt", "p/q/r/2.txt", "s.txt"}));
}

TEST(ZipArchiver, FoldersAndTheLevelsOpenedCountAgainstTheirLimits) {
    // Folders a, a/b, a/b/c and x; levels opened: 3 + 1 + 3 (the last
    // entry's folder is open already, and the target needs none).
    auto dir = peer::scratch("zip-folder-limits");
    craft(dir / "f.zip", {{"a/b/c/1.txt", "1"}, {"x/2.txt", "2"}, {"3.txt", "3"}, {"a//b/./c/4.txt", "4"}, {"a/b/c/5.txt", "5"}});
    struct Case {
        const char* what;
        std::uint64_t folders, levels;
        std::string why;  // "" when extracted
    } cases[] = {
        {"both met exactly", 4, 7, ""},
        {"one folder fewer", 3, 7, "Archive refused: its entries would make more than 3 folders"},
        {"one level fewer", 4, 6, "Archive refused: its entries would open more than 6 folder levels"},
        {"both off", 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipArchiver::Limits limits;
        limits.folders = c.folders;
        limits.folderLevels = c.levels;
        const fs::path target = dir / c.what;
        Extraction e = extract(dir / "f.zip", target, limits);
        EXPECT_EQ(e.answered, c.why.empty());
        if (c.why.empty()) {
            EXPECT_EQ(filesUnder(target), (std::vector<std::string>{"3.txt", "a/b/c/1.txt", "a/b/c/4.txt", "a/b/c/5.txt", "x/2.txt"}));
        } else {
            EXPECT_EQ(e.errors, std::vector<std::string>{c.why});
            EXPECT_FALSE(fs::exists(target));
        }
    }
}

TEST(ZipArchiver, AFolderThatCannotBeMadeIsReportedForEachEntryInIt) {
    auto dir = peer::scratch("zip-blocked-folder");
    craft(dir / "b.zip", {{"x", "a file"}, {"x/1.txt", "1"}, {"x/2.txt", "2"}, {"y/3.txt", "3"}, {"x/4.txt", "4"}});
    Extraction e = extract(dir / "b.zip", dir / "out");
    EXPECT_FALSE(e.answered);
    const std::string blocked = "Failed to create folder: " + (dir / "out/x").string();
    EXPECT_EQ(e.errors, (std::vector<std::string>{blocked, blocked, blocked}));
    EXPECT_EQ(filesUnder(dir / "out"), (std::vector<std::string>{"x", "y/3.txt"}));
}

TEST(ZipArchiver, AFolderReplacedByALinkDuringTheExtractionIsNotFollowed) {
    // The question about the existing file comes while a/deep is made; the
    // delegate then moves it away and puts a link to outside in its place.
    struct Swapper : Recorder {
        fs::path target, outside;
        bool OverWriteOperation(const std::string& p) override {
            fs::rename(target / "a", target / "moved");
            fs::create_directory_symlink(outside, target / "a");
            return Recorder::OverWriteOperation(p);
        }
    };
    auto dir = peer::scratch("zip-swapped");
    auto swapper = std::make_shared<Swapper>();
    swapper->target = dir / "target";
    swapper->outside = dir / "outside";
    fs::create_directories(swapper->outside / "deep");
    writeFile(swapper->target / "b/g.txt", "old");
    craft(dir / "s.zip", {{"a/deep/1.txt", "1"}, {"b/g.txt", "new"}, {"a/deep/2.txt", "2"}});

    ZipArchiver z;
    z.setDelegate(swapper);
    EXPECT_EQ(unzip(z, (dir / "s.zip").string(), swapper->target.string(), false), std::optional(false));
    EXPECT_EQ(swapper->errors, std::vector<std::string>{"Failed to create folder: " + (swapper->target / "a/deep").string()});
    EXPECT_TRUE(fs::is_empty(swapper->outside / "deep"));
    EXPECT_EQ(readFile(swapper->target / "moved/deep/1.txt"), "1");
}

TEST(ZipArchiver, HostileLayoutsEndWithinTheirBoundsAtTheReadersSize) {
    // Each at the readers' 32 MiB, extracted in a forked child that may map
    // 1.5 GB more than this program and is waited for no longer than a
    // sanitized build needs for what the release build does in 2 s.
    // (Long names, which make a folder for each entry, at a quarter of it.)
    constexpr std::size_t kBound = (32u << 20) - 4096;
    struct Case {
        const char* what;
        zipfixture::RawZip (*make)(std::size_t);
        std::size_t bytes;
        bool answered;
        std::string why;  // the start of the one problem, if any
    } cases[] = {
        {"32,000 levels in turns", [](std::size_t b) { return hostilezip::deepTurns(b, 2, 64000); }, kBound, false,
         "Archive refused: an entry's name of 64000 bytes"},
        {"deep folders in turns", [](std::size_t b) { return hostilezip::deepTurns(b, 2); }, kBound, false,
         "Archive refused: its entries would open more than"},
        {"names that differ early", hostilezip::differEarly, kBound, false,
         "Archive refused: its entries would open more than"},
        {"ten times the entries", hostilezip::tooManyEntries, kBound, false, "Archive refused: more than 65535 entries"},
        {"long names", hostilezip::longNames, kBound / 4, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto dir = peer::scratch("zip-hostile");
        c.make(c.bytes).write(dir / "h.zip");
        testsupport::ChildProcess child(
            testsupport::ChildProcess::Forked{},
            [&] {
                Extraction e = extract(dir / "h.zip", dir / "out");
                const bool expected = e.answered == c.answered &&
                                      (c.why.empty() ? e.errors.empty()
                                                     : e.errors.size() == 1 && e.errors[0].rfind(c.why, 0) == 0);
                if (!expected) std::fprintf(stderr, "answered %d, %zu problems: %s\n", e.answered, e.errors.size(),
                                            e.errors.empty() ? "" : e.errors[0].substr(0, 200).c_str());
                return expected ? 0 : 1;
            },
            1536ull << 20);
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(child.waitForExit(60)) << "still running after 60 s";
        EXPECT_EQ(child.status, 0) << child.output;
        EXPECT_LT(child.peakKilobytes, testsupport::sanitizedKB(testsupport::kReadersMostKB));
    }
}
