#include "uikit/Image.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "foundation/Bundle.h"
#include "uikit/JpegErrors.h"
#include "uikit/Window.h"

namespace ui {

Image::Image(Private, int w, int h, std::vector<std::uint8_t> rgba, double scale)
    : pixelWidth_(w), pixelHeight_(h), scale_(scale > 0 ? scale : 1), pixels_(std::move(rgba)) {}

ImagePtr Image::imageWithPixels(int w, int h, std::vector<std::uint8_t> rgba, double scale) {
    if (w <= 0 || h <= 0) return nullptr;
    if (rgba.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) return nullptr;
    return std::make_shared<Image>(Private{}, w, h, std::move(rgba), scale);
}

ImagePtr Image::imageWithData(const ns::Bytes& data, double scale) {
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    if (decodePNG(data, &w, &h, &rgba) || decodeJPEG(data, &w, &h, &rgba)) {
        return imageWithPixels(w, h, std::move(rgba), scale);
    }
    return nullptr;
}

namespace {

bool readFile(const std::string& path, ns::Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

struct Cache {
    std::mutex mutex;
    std::map<std::string, ImagePtr> images;
    std::string dir;
    bool dirSet = false;
};

Cache& cache() {
    static Cache c;
    return c;
}

// "@2x" scale from a file name such as "menu@2x.png".
double scaleOfFileName(const std::string& path) { return path.find("@2x.") != std::string::npos ? 2 : 1; }

}  // namespace

ImagePtr Image::imageWithContentsOfFile(const std::string& path) {
    ns::Bytes bytes;
    if (!readFile(path, &bytes)) return nullptr;
    return imageWithData(bytes, scaleOfFileName(path));
}

std::string Image::resourceDirectory() {
    Cache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.dirSet) return c.dir;
    return ns::Bundle::mainBundle()->resourcePath();
}

void Image::setResourceDirectory(const std::string& dir) {
    Cache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.dir = dir;
    c.dirSet = !dir.empty();
    c.images.clear();
}

void Image::clearCache() {
    Cache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.images.clear();
}

ImagePtr Image::imageNamed(const std::string& name) {
    if (name.empty()) return nullptr;
    Cache& c = cache();
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        auto it = c.images.find(name);
        if (it != c.images.end()) return it->second;
    }
    std::string dir = resourceDirectory();
    std::vector<std::string> candidates;
    auto addWithScale = [&](const std::string& file) {
        std::size_t slash = file.find_last_of('/');
        std::size_t dot = file.find_last_of('.');
        bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        if (hasExt && Screen::mainScreen().scale() >= 2) {
            candidates.push_back(dir + "/" + file.substr(0, dot) + "@2x" + file.substr(dot));
        }
        candidates.push_back(dir + "/" + file);
        return hasExt;
    };
    if (!addWithScale(name)) addWithScale(name + ".png");
    for (const auto& path : candidates) {
        ImagePtr img = imageWithContentsOfFile(path);
        if (img) {
            img->name_ = name;
            std::lock_guard<std::mutex> lock(c.mutex);
            c.images[name] = img;
            return img;
        }
    }
    return nullptr;
}

// ---- Decoding ----

namespace {

// The most pixels a picture may have (4096 x 4096, 64 MB decoded), and the
// longest side. A header asking for more, as a few hundred damaged bytes
// can, is refused before anything is allocated or decoded.
constexpr std::uint64_t kMaxPixels = 4096ull * 4096ull;
constexpr std::uint32_t kMaxSide = 16384;

bool sizeAllowed(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

}  // namespace

// ---- PNG ----

namespace {

// True when the chunks before the image data lie within the bytes. libpng
// allocates (and clears) the length such a chunk declares before reading
// it, so one claiming gigabytes in a short file would cost that much for
// nothing. The image data is read piece by piece, and what follows it is
// not read at all.
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

}  // namespace

bool decodePNG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba) {
    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0 || !headerChunksFit(data)) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return false;
    image.format = PNG_FORMAT_RGBA;
    if (!sizeAllowed(image.width, image.height)) {
        png_image_free(&image);
        return false;
    }
    std::vector<std::uint8_t> out(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    *rgba = std::move(out);
    return true;
}

// ---- JPEG ----

namespace {

// Decodes straight into RGBA (libjpeg-turbo adds the opaque alpha) in a
// buffer of the caller's, sized once the header is read; only plain data
// lives between setjmp and the decoding so a jump skips no destructor.
bool jpegDecode(const unsigned char* bytes, unsigned long size, std::vector<std::uint8_t>* rgba, int* w, int* h) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = quietJpegErrors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || !sizeAllowed(cinfo.image_width, cinfo.image_height)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    if (!sizeAllowed(cinfo.output_width, cinfo.output_height) || cinfo.output_components != 4) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *w = static_cast<int>(cinfo.output_width);
    *h = static_cast<int>(cinfo.output_height);
    rgba->resize(static_cast<std::size_t>(*w) * static_cast<std::size_t>(*h) * 4);
    unsigned char* base = rgba->data();
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = base + static_cast<std::size_t>(cinfo.output_scanline) * static_cast<std::size_t>(*w) * 4;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

bool decodeJPEG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba) {
    if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::vector<std::uint8_t> out;
    int w = 0, h = 0;
    if (!jpegDecode(data.data(), static_cast<unsigned long>(data.size()), &out, &w, &h)) return false;
    *width = w;
    *height = h;
    *rgba = std::move(out);
    return true;
}

}  // namespace ui
