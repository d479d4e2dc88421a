// The zip wrapper against Info-ZIP's zip and unzip doing the same work, in
// one run: adding and extracting one 100 MB file and 10,000 small files;
// extracting 65,535 entries (the most an archive holds without its 64-bit
// records), and files under deep folders of three trees taken in turns.
//
// Inputs are generated in a temporary folder (see BenchFolder) when the
// program starts and removed when it ends, also by Ctrl+C, SIGTERM or
// SIGHUP. The Info-ZIP side runs "zip -q" / "unzip -q" as child processes,
// so every benchmark here measures wall-clock time. Both sides
// extract the same archive (one written by Info-ZIP), into an empty folder.
// Compare Ours* with InfoZip* of the same work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "BenchHome.h"
#include "datalibs/ZipArchiver.h"
#include "foundation/Log.h"
#include "support/HostileZips.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBigSize = 100u << 20;
constexpr int kSmallFiles = 10000;
constexpr int kSmallFolders = 100;
constexpr std::size_t kLimitEntries = 65535;
// Names of 1,000 bytes (496 levels), far enough below Info-ZIP's bound on
// a path for the target's name in front.
constexpr std::size_t kTurns = 600, kTurnTrees = 3, kTurnNameBytes = 1000;

// Text of random words: compresses to about a third, like ordinary files.
std::string words(std::size_t size, std::uint32_t seed) {
    static const char* vocabulary[] = {"kestrow ", "line ",  "member ", "service ", "archive ", "data ",
                                       "党员 ",    "服务 ",  "zip ",    "entry ",   "folder ",  "2015 ",
                                       "report ",  "value ", "\n",      "record ",  "签到 ",    "time "};
    std::string s;
    s.reserve(size + 16);
    std::uint32_t x = seed * 2654435761u + 1;
    while (s.size() < size) {
        x = x * 1664525u + 1013904223u;
        s += vocabulary[(x >> 16) % (sizeof vocabulary / sizeof *vocabulary)];
        if ((x & 0xff) == 7) s += std::to_string(x);
    }
    s.resize(size);
    return s;
}

std::string q(const fs::path& p) {
    std::string s = "'";
    s.append(p.string());
    s.push_back('\'');
    return s;
}

// Runs the pieces joined as one shell command.
void sh(std::initializer_list<std::string> pieces) {
    std::string command;
    for (const auto& piece : pieces) command.append(piece);
    if (std::system(command.c_str()) != 0) std::abort();
}

struct Inputs {
    BenchFolder scratch{"kl-zip-bench-", BenchFolder::Where::Scratch};
    fs::path root = scratch.path;
    fs::path big;        // root/big/big.txt
    fs::path smallRoot;  // root/small (folders d0..d99 holding the files)
    std::vector<std::pair<std::string, std::string>> smallFiles;  // path, entry name
    fs::path bigZip, smallZip;  // written by Info-ZIP, extracted by both sides
    fs::path limitZip, turnsZip;  // laid out here, every entry with its own local header

    Inputs() {
        fs::create_directories(root / "big");
        big = root / "big" / "big.txt";
        std::ofstream(big, std::ios::binary) << words(kBigSize, 1);
        smallRoot = root / "small";
        for (int i = 0; i < kSmallFiles; ++i) {
            std::string entry = "small/d";
            entry.append(std::to_string(i % kSmallFolders)).append("/f").append(std::to_string(i)).append(".txt");
            fs::path p = root / entry;
            fs::create_directories(p.parent_path());
            std::ofstream(p, std::ios::binary) << words(200 + (i * 37) % 3000, static_cast<std::uint32_t>(i));
            smallFiles.emplace_back(p.string(), entry);
        }
        bigZip = root / "big-ref.zip";
        smallZip = root / "small-ref.zip";
        sh({"cd ", q(root / "big"), " && zip -q ", q(bigZip), " big.txt"});
        sh({"cd ", q(root), " && zip -q -r -D ", q(smallZip), " small"});

        limitZip = root / "limit.zip";
        zipfixture::RawZip limit;
        for (std::size_t i = 0; i < kLimitEntries; ++i)
            limit.add(hostilezip::name({"d", hostilezip::padded(i % 256, 3), "/f", hostilezip::padded(i, 5)}), "x");
        limit.write(limitZip);
        turnsZip = root / "turns.zip";
        zipfixture::RawZip turns;
        for (std::size_t i = 0; i < kTurns; ++i) {
            std::string tree = "t";
            tree += hostilezip::padded(i % kTurnTrees, 2);
            turns.add(hostilezip::deepName(tree, kTurnNameBytes, i), "x");
        }
        turns.write(turnsZip);
    }
};

Inputs& inputs() {
    static Inputs in;
    return in;
}

void clear(const fs::path& p) {
    std::error_code ec;
    fs::remove_all(p, ec);
}

// Runs the work once per iteration, each time with the target it writes
// removed first; the removal is not timed.
template <typename Work>
void fromScratch(benchmark::State& state, const fs::path& target, Work work) {
    for (auto _ : state) {
        state.PauseTiming();
        clear(target);
        state.ResumeTiming();
        work();
    }
}

// The wrapper extracting the archive into `dest`, and Info-ZIP's unzip
// doing the same; `dest` is removed first each time.
void oursExtract(benchmark::State& state, const fs::path& archive, const fs::path& dest) {
    ns::LogCapture quiet;
    fromScratch(state, dest, [&] {
        ZipArchiver z;
        if (!z.UnzipOpenFile(archive.string()) || !z.UnzipFileTo(dest.string(), true)) std::abort();
        z.UnzipCloseFile();
    });
}

void infoZipExtract(benchmark::State& state, const fs::path& archive, const fs::path& dest) {
    fromScratch(state, dest, [&] { sh({"unzip -q ", q(archive), " -d ", q(dest)}); });
}

void OursAddBig(benchmark::State& state) {
    Inputs& in = inputs();
    fs::path out = in.root / "ours-big.zip";
    fromScratch(state, out, [&] {
        ZipArchiver z;
        if (!z.CreateZipFile2(out.string()) || !z.addFileToZip(in.big.string(), "big.txt") || !z.CloseZipFile2())
            std::abort();
    });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigSize));
}

void InfoZipAddBig(benchmark::State& state) {
    Inputs& in = inputs();
    fs::path out = in.root / "infozip-big.zip";
    fromScratch(state, out, [&] {
        sh({"cd ", q(in.root / "big"), " && zip -q ", q(out), " big.txt"});
    });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigSize));
}

void OursExtractBig(benchmark::State& state) {
    oursExtract(state, inputs().bigZip, inputs().root / "ours-big-out");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigSize));
}

void InfoZipExtractBig(benchmark::State& state) {
    infoZipExtract(state, inputs().bigZip, inputs().root / "infozip-big-out");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigSize));
}

void OursAddSmall(benchmark::State& state) {
    Inputs& in = inputs();
    fs::path out = in.root / "ours-small.zip";
    fromScratch(state, out, [&] {
        ZipArchiver z;
        if (!z.CreateZipFile2(out.string())) std::abort();
        for (const auto& [path, entry] : in.smallFiles)
            if (!z.addFileToZip(path, entry)) std::abort();
        if (!z.CloseZipFile2()) std::abort();
    });
    state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

void InfoZipAddSmall(benchmark::State& state) {
    Inputs& in = inputs();
    fs::path out = in.root / "infozip-small.zip";
    fromScratch(state, out, [&] {
        sh({"cd ", q(in.root), " && zip -q -r -D ", q(out), " small"});
    });
    state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

void OursExtractSmall(benchmark::State& state) {
    oursExtract(state, inputs().smallZip, inputs().root / "ours-small-out");
    state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

void InfoZipExtractSmall(benchmark::State& state) {
    infoZipExtract(state, inputs().smallZip, inputs().root / "infozip-small-out");
    state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

void OursExtractEntryLimit(benchmark::State& state) {
    oursExtract(state, inputs().limitZip, inputs().root / "ours-limit-out");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kLimitEntries));
}

void InfoZipExtractEntryLimit(benchmark::State& state) {
    infoZipExtract(state, inputs().limitZip, inputs().root / "infozip-limit-out");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kLimitEntries));
}

void OursExtractDeepTurns(benchmark::State& state) {
    oursExtract(state, inputs().turnsZip, inputs().root / "ours-turns-out");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kTurns));
}

void InfoZipExtractDeepTurns(benchmark::State& state) {
    infoZipExtract(state, inputs().turnsZip, inputs().root / "infozip-turns-out");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kTurns));
}

#define ZIP_BENCH(name) BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)
ZIP_BENCH(OursAddBig);
ZIP_BENCH(InfoZipAddBig);
ZIP_BENCH(OursExtractBig);
ZIP_BENCH(InfoZipExtractBig);
ZIP_BENCH(OursAddSmall);
ZIP_BENCH(InfoZipAddSmall);
ZIP_BENCH(OursExtractSmall);
ZIP_BENCH(InfoZipExtractSmall);
ZIP_BENCH(OursExtractEntryLimit);
ZIP_BENCH(InfoZipExtractEntryLimit);
ZIP_BENCH(OursExtractDeepTurns);
ZIP_BENCH(InfoZipExtractDeepTurns);

}  // namespace
