// Opening zip archives for reading through a buffered file layer: minizip
// seeks back and forth between the central directory and each entry, and
// reading through one buffer with positioned reads saves most system calls.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <string>

namespace datalibs {

// Like minizip's unzOpen64; null when the archive cannot be opened. `size`,
// when given, is set to the archive's size in bytes as it was opened.
unzFile openZipForReading(const std::string& path, std::uint64_t* size = nullptr);

}  // namespace datalibs
