// The zip reader: any bytes as an archive, opened (with a password, which
// plain entries ignore) and extracted twice into an empty folder, the second
// time over the first without the overwrite flag; then a zipped XML document
// read the way the document model reads one. Whatever the archive holds,
// nothing lands outside the folder, nothing in it is a link, and the limits
// hold.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "FuzzSupport.h"
#include "datalibs/NSXMLDocument.h"
#include "datalibs/ZipArchiver.h"
#include "foundation/FileManager.h"

namespace fs = std::filesystem;

namespace {

// Says yes to every other replacement.
class Delegate : public ZipArchiverDelegate {
public:
    bool OverWriteOperation(const std::string&) override { return (++asked_ & 1) != 0; }

private:
    unsigned asked_ = 0;
};

// Small limits, so an archive that would write much is refused quickly.
ZipArchiver::Limits limits() {
    ZipArchiver::Limits l;
    l.totalBytes = 4u << 20;
    l.entries = 512;
    l.ratioFloor = 64u << 10;
    return l;
}

// Written with plain writes: libFuzzer's timer interrupts system calls, and
// std::filesystem's copy gives up on an interrupted one.
void writeFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(file.good());
}

void checkFolder(const fs::path& sandbox, const fs::path& archive, const fs::path& out) {
    for (const auto& entry : fs::directory_iterator(sandbox))
        FUZZ_CHECK(entry.path() == archive || entry.path() == out);
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        struct stat st {};
        FUZZ_CHECK(::lstat(entry.path().c_str(), &st) == 0);
        FUZZ_CHECK(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
        if (S_ISREG(st.st_mode)) total += static_cast<std::uint64_t>(st.st_size);
    }
    FUZZ_CHECK(total <= limits().totalBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    static const fs::path sandbox = fs::path(fuzz::home()) / "zip";
    const fs::path archive = sandbox / "archive.zip";
    const fs::path out = sandbox / "out";
    std::error_code ec;
    fs::remove_all(sandbox, ec);
    fs::create_directories(out, ec);
    writeFile(archive, data, size);

    ZipArchiver zip;
    zip.setDelegate(std::make_shared<Delegate>());
    zip.setLimits(limits());
    if (zip.UnzipOpenFile_Password(archive.string(), "secret")) {
        zip.UnzipFileTo(out.string(), true);
        checkFolder(sandbox, archive, out);
        zip.UnzipFileTo(out.string(), false);
        checkFolder(sandbox, archive, out);
        zip.UnzipCloseFile();
    }

    // The document model's own reader: "fuzz.xml" out of "fuzz.zip".
    fs::path zipped = fs::path(ns::cachesDirectory()) / NSXMLDocument::kZipFolderName;
    fs::create_directories(zipped, ec);
    writeFile(zipped / "fuzz.zip", data, size);
    NSXMLDocument::initWithZipFile("fuzz.zip", 0);
    return 0;
}
