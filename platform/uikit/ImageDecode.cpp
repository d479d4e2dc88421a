// PNG and JPEG decoding within the limits of Image.h: the header is read and
// judged before any pixel memory is allocated, and the rows are scaled down
// as they come, so no more than the decoded picture (and one source row) is
// ever held.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>

#include "uikit/Image.h"
#include "uikit/ImageShrink.h"
#include "uikit/JpegErrors.h"

namespace ui {

namespace {

bool withinSourceLimits(std::uint64_t w, std::uint64_t h) {
    return w > 0 && h > 0 && w <= static_cast<std::uint64_t>(kMaxSourceSide) &&
           h <= static_cast<std::uint64_t>(kMaxSourceSide) && w * h <= static_cast<std::uint64_t>(kMaxSourcePixels);
}

// The decoded size of a picture of w x h: itself, or scaled down evenly to
// kMaxDecodedPixels at most.
std::pair<int, int> decodedSize(int w, int h) {
    double pixels = static_cast<double>(w) * h;
    if (pixels <= static_cast<double>(kMaxDecodedPixels)) return {w, h};
    double f = std::sqrt(static_cast<double>(kMaxDecodedPixels) / pixels);
    int dw = std::max(1, static_cast<int>(w * f)), dh = std::max(1, static_cast<int>(h * f));
    while (static_cast<std::int64_t>(dw) * dh > kMaxDecodedPixels) (dw >= dh ? dw : dh)--;
    return {dw, dh};
}

// ---- PNG ----

// True when the chunks before the image data lie within the bytes. libpng
// allocates (and clears) the length such a chunk declares before reading
// it, so one claiming gigabytes in a short file would cost that much for
// nothing (this libpng has no limit of its own). The image data is read
// piece by piece, and what follows it is not read at all.
bool headerChunksFit(const ns::Bytes& data) {
    std::size_t at = 8;
    while (data.size() - at >= 8) {  // a length and a type: enough for libpng to allocate
        const std::uint8_t* p = data.data() + at;
        if (std::memcmp(p + 4, "IDAT", 4) == 0) return true;
        std::size_t length = (std::size_t{p[0]} << 24) | (std::size_t{p[1]} << 16) | (std::size_t{p[2]} << 8) | p[3];
        if (data.size() - at < 12 || length > data.size() - at - 12) return false;
        at += 12 + length;
    }
    return true;
}

struct PngSource {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t at;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > src->size - src->at) png_error(png, "truncated");
    std::memcpy(out, src->bytes + src->at, length);
    src->at += length;
}

void pngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngQuiet(png_structp, png_const_charp) {}

struct PngHeader {
    png_uint_32 width = 0, height = 0;
    bool interlaced = false;
};

// Reads the header and sets the reader to give 8-bit RGBA rows. Only plain
// data lives between setjmp and libpng's calls, so a jump skips no destructor.
bool pngReadHeader(png_structp png, png_infop info, PngHeader* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &header->width, &header->height, &depth, &colour, &interlace, nullptr, nullptr);
    if (!withinSourceLimits(header->width, header->height)) return false;
    if (depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (!(colour & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    header->interlaced = png_set_interlace_handling(png) > 1;
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == static_cast<png_size_t>(header->width) * 4;
}

// Row by row through one row buffer; an interlaced picture needs all of its
// rows at once (`whole`), as its passes fill them in turn.
bool pngReadRows(png_structp png, const PngHeader* header, std::uint8_t* row, std::uint8_t* whole,
                 Shrinker* shrinker) {
    if (setjmp(png_jmpbuf(png))) return false;
    std::size_t stride = static_cast<std::size_t>(header->width) * 4;
    if (whole) {
        for (int pass = 0, passes = PNG_INTERLACE_ADAM7_PASSES; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < header->height; ++y) png_read_row(png, whole + y * stride, nullptr);
        for (png_uint_32 y = 0; y < header->height; ++y) shrinker->addRow(whole + y * stride);
    } else {
        for (png_uint_32 y = 0; y < header->height; ++y) {
            png_read_row(png, row, nullptr);
            shrinker->addRow(row);
        }
    }
    return true;
}

// ---- JPEG ----

struct JpegPlan {
    int width = 0, height = 0;              // as the header says
    int outWidth = 0, outHeight = 0;        // after libjpeg's own scaling
};

// Reads the header and picks libjpeg's scaling (M/8) to come as close above
// the decoded size as it can.
bool jpegReadHeader(jpeg_decompress_struct* cinfo, JpegError* err, const std::uint8_t* bytes, unsigned long size,
                    JpegPlan* plan) {
    if (setjmp(err->jump)) return false;
    jpeg_mem_src(cinfo, bytes, size);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (!withinSourceLimits(cinfo->image_width, cinfo->image_height)) return false;
    plan->width = static_cast<int>(cinfo->image_width);
    plan->height = static_cast<int>(cinfo->image_height);
    auto [dw, dh] = decodedSize(plan->width, plan->height);
    cinfo->out_color_space = JCS_EXT_RGBA;  // libjpeg-turbo adds the opaque alpha
    cinfo->scale_denom = 8;
    for (unsigned m = 1; m <= 8; ++m) {
        cinfo->scale_num = m;
        jpeg_calc_output_dimensions(cinfo);
        if (static_cast<int>(cinfo->output_width) >= dw && static_cast<int>(cinfo->output_height) >= dh) break;
    }
    plan->outWidth = static_cast<int>(cinfo->output_width);
    plan->outHeight = static_cast<int>(cinfo->output_height);
    return cinfo->output_components == 4 && plan->outWidth > 0 && plan->outHeight > 0;
}

bool jpegReadRows(jpeg_decompress_struct* cinfo, JpegError* err, const JpegPlan* plan, std::uint8_t* rgba,
                  Shrinker* shrinker) {
    if (setjmp(err->jump)) return false;
    jpeg_start_decompress(cinfo);
    if (static_cast<int>(cinfo->output_width) != plan->outWidth || cinfo->output_components != 4) return false;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW line = rgba;
        jpeg_read_scanlines(cinfo, &line, 1);
        shrinker->addRow(rgba);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

std::optional<DecodedPicture> finished(int sourceWidth, int sourceHeight, Shrinker& shrinker, int w, int h) {
    DecodedPicture out;
    out.width = w;
    out.height = h;
    out.sourceWidth = sourceWidth;
    out.sourceHeight = sourceHeight;
    out.rgba = shrinker.finish();
    return out;
}

std::optional<DecodedPicture> decodePNGPicture(const ns::Bytes& data) {
    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0 || !headerChunksFit(data)) return std::nullopt;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngQuiet);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    struct Release {
        png_structp* png;
        png_infop* info;
        ~Release() { png_destroy_read_struct(png, info, nullptr); }
    } release{&png, &info};
    if (!info) return std::nullopt;
    PngSource source{data.data(), data.size(), 0};
    png_set_read_fn(png, &source, pngRead);
    PngHeader header;
    if (!pngReadHeader(png, info, &header)) return std::nullopt;
    int w = static_cast<int>(header.width), h = static_cast<int>(header.height);
    // An interlaced picture is held whole while its passes come in: only up
    // to a few screens of it.
    if (header.interlaced && static_cast<std::int64_t>(w) * h > 4 * kMaxDecodedPixels) return std::nullopt;
    auto [dw, dh] = decodedSize(w, h);
    Shrinker shrinker(w, h, dw, dh);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
    std::vector<std::uint8_t> whole(header.interlaced ? static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4 : 0);
    if (!pngReadRows(png, &header, row.data(), header.interlaced ? whole.data() : nullptr, &shrinker))
        return std::nullopt;
    return finished(w, h, shrinker, dw, dh);
}

std::optional<DecodedPicture> decodeJPEGPicture(const ns::Bytes& data) {
    if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return std::nullopt;
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = quietJpegErrors(err);
    jpeg_create_decompress(&cinfo);
    struct Release {
        jpeg_decompress_struct* cinfo;
        ~Release() { jpeg_destroy_decompress(cinfo); }
    } release{&cinfo};
    JpegPlan plan;
    if (!jpegReadHeader(&cinfo, &err, data.data(), static_cast<unsigned long>(data.size()), &plan)) return std::nullopt;
    auto [dw, dh] = decodedSize(plan.width, plan.height);
    dw = std::min(dw, plan.outWidth);
    dh = std::min(dh, plan.outHeight);
    Shrinker shrinker(plan.outWidth, plan.outHeight, dw, dh);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(plan.outWidth) * 4);
    if (!jpegReadRows(&cinfo, &err, &plan, rgba.data(), &shrinker)) return std::nullopt;
    return finished(plan.width, plan.height, shrinker, dw, dh);
}

}  // namespace

std::optional<DecodedPicture> decodePicture(const ns::Bytes& data) {
    if (auto png = decodePNGPicture(data)) return png;
    return decodeJPEGPicture(data);
}

bool decodePNG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba) {
    auto d = decodePNGPicture(data);
    if (!d) return false;
    *width = d->width;
    *height = d->height;
    *rgba = std::move(d->rgba);
    return true;
}

bool decodeJPEG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba) {
    auto d = decodeJPEGPicture(data);
    if (!d) return false;
    *width = d->width;
    *height = d->height;
    *rgba = std::move(d->rgba);
    return true;
}

}  // namespace ui
