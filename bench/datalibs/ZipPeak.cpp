// The time and peak memory of extracting one hostile zip archive
// (tests/support/HostileZips.h) at a given size, by default the readers'
// 32 MiB bound. A measuring tool, not a benchmark: each layout is one
// extraction of one archive, into an empty folder.
//
//   build/release/bench/zip_peak deep-turns [megabytes]
//   build/release/bench/zip_peak all
//
// The archive and the extracted files go to a temporary folder in
// KL_BENCH_TMP, else /dev/shm when there is one (so that the disk's
// write-back does not drown the extractor's own costs), else /tmp; it is
// removed when the program ends, also by Ctrl+C, SIGTERM or SIGHUP. Prints
// the archive's size and entries, what the extraction answered (with its
// first problem), the seconds it took (elapsed, and the CPU time it used)
// and how much this process's peak resident size grew while it ran.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "BenchHome.h"
#include "PeakTool.h"
#include "datalibs/ZipArchiver.h"
#include "foundation/Log.h"
#include "support/HostileZips.h"

namespace fs = std::filesystem;

namespace {

struct Layout {
    const char* name;
    std::function<zipfixture::RawZip(std::size_t)> make;
};

const std::vector<Layout>& layouts() {
    static const std::vector<Layout> all = {
        {"deep-issue", [](std::size_t b) { return hostilezip::deepTurns(b, 2, 64000); }},
        {"deep-turns", [](std::size_t b) { return hostilezip::deepTurns(b, 2); }},
        {"deep-many", hostilezip::deepMany},
        {"deep-many-within", hostilezip::deepManyWithin},
        {"differ-early", hostilezip::differEarly},
        {"many-folders", hostilezip::manyFolders},
        {"many-entries", hostilezip::manyEntries},
        {"too-many-entries", hostilezip::tooManyEntries},
        {"long-names", hostilezip::longNames},
        {"claims-more", hostilezip::claimsMore},
        {"scattered-locals", hostilezip::scatteredLocals},
    };
    return all;
}

struct FirstProblem : ZipArchiverDelegate {
    std::string first;
    std::size_t count = 0;
    void ErrorMessage(const std::string& m) override {
        if (count++ == 0) first = m.substr(0, 72);
    }
};

void measure(const Layout& layout, std::size_t bytes, const fs::path& folder) {
    const fs::path archive = folder / (std::string(layout.name) + ".zip");
    const fs::path target = folder / layout.name;
    std::uint64_t entries = 0, size = 0;
    {
        zipfixture::RawZip zip = layout.make(bytes);
        entries = zip.entries();
        size = zip.size() - 76;  // without the 64-bit end records
        zip.write(archive);
    }
    ns::LogCapture quiet;
    ZipArchiver z;
    auto problems = std::make_shared<FirstProblem>();
    z.setDelegate(problems);
    bool answered = false;
    const peaktool::Cost cost = peaktool::measured([&] {
        answered = z.UnzipOpenFile(archive.string()) && z.UnzipFileTo(target.string(), true);
        z.UnzipCloseFile();
    });
    std::printf("%-17s %6.2f MB %7llu entries  %-5s %s  %zu problems%s%s\n", layout.name,
                static_cast<double>(size) / 1e6, static_cast<unsigned long long>(entries), answered ? "true" : "false",
                peaktool::describe(cost, 6).c_str(), problems->count, problems->count ? ", first: " : "",
                problems->first.c_str());
    std::fflush(stdout);
    std::error_code ec;
    fs::remove_all(target, ec);
    fs::remove(archive, ec);
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<BenchFolder> scratch;  // made for the first layout measured
    return peaktool::run(argc, argv, "zip_peak", "layout", "layouts", layouts(), [&](const Layout& l, std::size_t bytes) {
        if (!scratch) scratch.emplace("kl-zip-peak-", BenchFolder::Where::Scratch);
        measure(l, bytes, scratch->path);
    });
}
