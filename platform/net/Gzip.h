// gzip (RFC 1952) bodies, for requests we compress and replies we serve in tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace net {

std::string gzip(std::string_view data, int level = 6);
// The decoded bytes, or nothing when the input is not one complete gzip
// stream (a cut-off stream is refused, not half-delivered).
std::optional<std::string> gunzip(std::string_view data, std::size_t maxBytes = 512u * 1024u * 1024u);

}  // namespace net
