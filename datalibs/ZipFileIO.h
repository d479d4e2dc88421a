// Opening zip archives for reading through a buffered file layer: minizip
// seeks back and forth between the central directory and each entry, and
// reading through one buffer with positioned reads saves most system calls.
#pragma once

#include <minizip/unzip.h>

#include <string>

namespace datalibs {

// Like minizip's unzOpen64; null when the archive cannot be opened.
unzFile openZipForReading(const std::string& path);

}  // namespace datalibs
