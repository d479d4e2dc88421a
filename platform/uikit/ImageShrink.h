// Scaling a picture's rows down as they are decoded (ImageDecode.cpp).
#pragma once

#include <cstdint>
#include <vector>

namespace ui {

// Takes a picture's RGBA rows top to bottom and averages them down to the
// decoded size: each source pixel counts once, in the decoded pixel it falls
// in, weighted by its alpha so transparent pixels lend no colour.
class Shrinker {
public:
    Shrinker(int sourceWidth, int sourceHeight, int width, int height);

    void addRow(const std::uint8_t* rgba);
    // The decoded pixels once every row has come (rows not sent stay clear).
    std::vector<std::uint8_t> finish();

private:
    bool identity() const { return sw_ == dw_ && sh_ == dh_; }
    void flush();

    int sw_, sh_, dw_, dh_;
    std::vector<std::uint8_t> out_;
    std::vector<int> column_;           // source column -> decoded column
    std::vector<std::uint32_t> sums_;   // premultiplied colour and alpha per decoded column
    std::vector<std::uint32_t> counts_;
    int y_ = 0;     // next source row
    int row_ = -1;  // decoded row being summed
};

}  // namespace ui
