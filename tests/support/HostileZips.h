// Zip archives laid out to cost their extractor more than their size: deep
// folders taken in turns, names that differ early, many folders, many
// entries, long names, entries that declare more than they hold. Each is
// made to about `bytes` from stored entries, most of the central
// directory's entries naming one local entry again (which costs 46 bytes
// and the name). The tests extract them at sizes that show the cost;
// bench/datalibs/ZipPeak.cpp at the readers' 32 MiB.
//
//   zipfixture::RawZip zip = hostilezip::deepTurns(2u << 20, 2);
//   zip.write(path);
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <initializer_list>
#include <string>
#include <string_view>

#include "support/ZipFixtures.h"

namespace hostilezip {

using zipfixture::RawZip;

// The extractor's default limits that the layouts keep to or go past.
inline constexpr std::size_t kLongestName = 4096;
inline constexpr std::size_t kMostEntries = 65535;
inline constexpr std::size_t kMostFolders = 65535;
inline constexpr std::size_t kMostFolderLevels = 1u << 20;

// `number` in decimal, `width` digits.
inline std::string padded(std::size_t number, int width) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*zu", width, number);
    return digits;
}

// The pieces one after the other.
inline std::string name(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (std::string_view piece : pieces) out += piece;
    return out;
}

// A name of `bytes` bytes: `top`, then folders "d" as deep as it takes, then
// the file "f" with `number` (and an "f" after it where the length is odd).
inline std::string deepName(const std::string& top, std::size_t bytes, std::size_t number) {
    std::string leaf = "f";
    leaf += padded(number, 7);
    std::size_t levels = bytes - top.size() - 1 - leaf.size();
    if (levels % 2 != 0) {
        leaf += 'f';
        --levels;
    }
    std::string name = top;
    name += '/';
    for (std::size_t i = 0; i < levels / 2; ++i) name += "d/";
    return name + leaf;
}

// The folders a deep name of `bytes` bytes leads through.
inline std::size_t deepFolders(std::size_t bytes) { return 1 + (bytes - 3 - 1 - 8) / 2; }

// Files under deep folders of `trees` trees ("t00", "t01", ...), the next
// entry always in the next tree, with names of `nameBytes`; at most
// `entries` of them.
inline RawZip deepTurns(std::size_t bytes, std::size_t trees, std::size_t nameBytes = kLongestName,
                        std::size_t entries = std::numeric_limits<std::size_t>::max()) {
    RawZip zip;
    for (std::size_t i = 0; zip.size() < bytes && i < entries; ++i) {
        std::string top = "t";
        top += padded(i % trees, 2);
        const std::string deep = deepName(top, nameBytes, i);
        if (i < trees)
            zip.add(deep, "x");
        else
            zip.again(deep, i % trees);
    }
    return zip;
}

// As many trees of deep folders as the folder limit allows, taken in turns.
inline RawZip deepMany(std::size_t bytes) { return deepTurns(bytes, kMostFolders / deepFolders(kLongestName)); }

// The same with as many entries as the limit on folder levels opened allows.
inline RawZip deepManyWithin(std::size_t bytes) {
    const std::size_t levels = deepFolders(kLongestName);
    return deepTurns(bytes, kMostFolders / levels, kLongestName, kMostFolderLevels / levels);
}

// Deep names that differ in their first folder: each entry a tree of its
// own, beyond the folder limit after a few dozen.
inline RawZip differEarly(std::size_t bytes) {
    RawZip zip;
    for (std::size_t i = 0; zip.size() < bytes; ++i) {
        const std::string deep = deepName(padded(i, 6), kLongestName, i);
        if (i == 0)
            zip.add(deep, "x");
        else
            zip.again(deep, 0);
    }
    return zip;
}

// The most entries, files in `folders` folders taken in turn, their
// contents filling the archive.
inline RawZip filesInFolders(std::size_t bytes, std::size_t folders) {
    const std::size_t content = bytes / kMostEntries > 100 ? bytes / kMostEntries - 100 : 1;
    RawZip zip;
    for (std::size_t i = 0; i < kMostEntries; ++i)
        zip.add(name({"d", padded(i % folders, 5), "/f", padded(i, 5)}), std::string(content, 'x'));
    return zip;
}

// Each file in a folder of its own, and files in 256 folders.
inline RawZip manyFolders(std::size_t bytes) { return filesInFolders(bytes, kMostEntries); }
inline RawZip manyEntries(std::size_t bytes) { return filesInFolders(bytes, 256); }

// More entries than the limit, the end record's count held at 65,535: all
// but one name the one local entry again.
inline RawZip tooManyEntries(std::size_t bytes) {
    RawZip zip;
    zip.add(name({"f", padded(0, 7)}), "x");
    for (std::size_t i = 1; zip.size() < bytes; ++i) zip.again(name({"f", padded(i, 7)}), 0);
    return zip;
}

// Names of 4,095 bytes in folders of 255-byte names: fourteen shared, one
// of each entry's own, and a file.
inline RawZip longNames(std::size_t bytes) {
    std::string shared;
    for (char c = 'a'; c < 'a' + 14; ++c) shared += std::string(255, c) + "/";
    RawZip zip;
    for (std::size_t i = 0; zip.size() < bytes; ++i) {
        const std::string path = name({shared, std::string(248, 'o'), padded(i, 7), "/", std::string(248, 'f'), padded(i, 7)});
        if (i == 0)
            zip.add(path, "x");
        else
            zip.again(path, 0);
    }
    return zip;
}

// The most entries over local entries that fill the archive, named again
// in turn, each with 64 kB of a local extra field in front of its data:
// reading an entry reads far from the one before.
inline RawZip scatteredLocals(std::size_t bytes) {
    const std::size_t locals = std::max<std::size_t>(1, bytes / (64u << 10) - kMostEntries * 60 / (64u << 10));
    RawZip zip;
    for (std::size_t i = 0; i < kMostEntries; ++i) {
        const std::string file = name({"d", padded(i % 256, 3), "/f", padded(i, 5)});
        if (i < locals)
            zip.add(file, "x", std::nullopt, 65531);
        else
            zip.again(file, i % locals);
    }
    return zip;
}

// The most entries, each holding one byte and declaring 8,192 (all
// together just under the default total), in 256 folders.
inline RawZip claimsMore(std::size_t bytes) {
    (void)bytes;
    RawZip zip;
    for (std::size_t i = 0; i < kMostEntries; ++i) zip.add(name({"d", padded(i % 256, 3), "/f", padded(i, 5)}), "x", 8192);
    return zip;
}

}  // namespace hostilezip
