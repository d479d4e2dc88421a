// A hostile variant of the demo data, for checking what the program does
// with a service that means it harm: pictures whose headers claim 16384 x
// 16384 pixels, page bodies that point at local files with file: pictures
// and links, a link directory entry whose address is a local file, and an
// article title of 10 MB.
//
//   demo::writeHostileData("tools/demo-data", "/tmp/hostile");
//   kl-demo-service --data /tmp/hostile
//
// The pictures are files of the data folder ("file" entries of
// pictures.json, served as they are).
#pragma once

#include <cstddef>
#include <string>

namespace demo {

// A valid PNG of w x h pixels, one bit each, all black: some 33 KB at
// 16384 x 16384.
std::string blackPNG(int w, int h, bool interlaced = false);
// A small JPEG whose header claims w x h pixels; its data stops long before.
std::string jpegClaiming(int w, int h);

// The title of the first article of the first list: 10 MB of text.
inline constexpr std::size_t kHostileTitleBytes = 10'000'000;
// A title of that many bytes (at least): "【超长标题】" and one phrase over and over.
std::string hostileTitle(std::size_t bytes = kHostileTitleBytes);
// The local file the pages point at, which must never show.
inline constexpr const char* kHostileLocalFile = "/etc/passwd";

// Copies the demo data in `from` into `to` (made when missing) and makes it
// hostile. Throws std::runtime_error naming what failed.
void writeHostileData(const std::string& from, const std::string& to);

}  // namespace demo
