#include "uikit/ImageShrink.h"

#include <cstring>

namespace ui {

Shrinker::Shrinker(int sourceWidth, int sourceHeight, int width, int height)
    : sw_(sourceWidth), sh_(sourceHeight), dw_(width), dh_(height),
      out_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
    if (identity()) return;
    column_.resize(static_cast<std::size_t>(sw_));
    for (int x = 0; x < sw_; ++x)
        column_[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<std::int64_t>(x) * dw_ / sw_);
    sums_.assign(static_cast<std::size_t>(dw_) * 4, 0);
    counts_.assign(static_cast<std::size_t>(dw_), 0);
}

void Shrinker::addRow(const std::uint8_t* rgba) {
    if (y_ >= sh_) return;
    if (identity()) {
        std::memcpy(out_.data() + static_cast<std::size_t>(y_) * static_cast<std::size_t>(sw_) * 4, rgba,
                    static_cast<std::size_t>(sw_) * 4);
        ++y_;
        return;
    }
    int row = static_cast<int>(static_cast<std::int64_t>(y_) * dh_ / sh_);
    if (row != row_) flush();
    row_ = row;
    for (int x = 0; x < sw_; ++x) {
        const std::uint8_t* p = rgba + static_cast<std::size_t>(x) * 4;
        std::uint32_t* s = &sums_[static_cast<std::size_t>(column_[static_cast<std::size_t>(x)]) * 4];
        s[0] += p[0] * p[3];
        s[1] += p[1] * p[3];
        s[2] += p[2] * p[3];
        s[3] += p[3];
        ++counts_[static_cast<std::size_t>(column_[static_cast<std::size_t>(x)])];
    }
    ++y_;
}

std::vector<std::uint8_t> Shrinker::finish() {
    if (!identity()) flush();
    return std::move(out_);
}

void Shrinker::flush() {
    if (row_ < 0) return;
    std::uint8_t* line = out_.data() + static_cast<std::size_t>(row_) * static_cast<std::size_t>(dw_) * 4;
    for (std::size_t c = 0; c < static_cast<std::size_t>(dw_); ++c) {
        std::uint32_t* s = &sums_[c * 4];
        if (counts_[c] > 0 && s[3] > 0) {
            for (int k = 0; k < 3; ++k) line[c * 4 + k] = static_cast<std::uint8_t>((s[k] + s[3] / 2) / s[3]);
            line[c * 4 + 3] = static_cast<std::uint8_t>((s[3] + counts_[c] / 2) / counts_[c]);
        }
        s[0] = s[1] = s[2] = s[3] = 0;
        counts_[c] = 0;
    }
    row_ = -1;
}

}  // namespace ui
