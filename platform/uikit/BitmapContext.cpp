#include "uikit/BitmapContext.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "foundation/Log.h"
#include "uikit/JpegErrors.h"
#include "uikit/Window.h"

namespace ui {

namespace {

int toPixels(double points, double scale) {
    double v = points * scale;
    if (!(v > 0)) return 0;
    return static_cast<int>(std::ceil(v - 1e-9));
}

// Filter taps of one output sample: first source index and its weights.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

// For each of `count` output samples at positions start + i in an output
// span [origin, origin + extent) that stands for the whole source of
// `srcSize` samples: the filter taps. Shrinking averages by area (each
// source sample weighs as much as it covers of the output sample, so every
// source sample contributes); enlarging interpolates linearly between the
// two nearest source samples, repeating the border.
std::vector<Taps> makeTaps(int srcSize, double origin, double extent, int start, int count) {
    std::vector<Taps> out(static_cast<std::size_t>(std::max(count, 0)));
    double ratio = srcSize / extent;  // source samples per output sample
    for (int i = 0; i < count; ++i) {
        Taps& t = out[static_cast<std::size_t>(i)];
        double sum = 0;
        if (ratio > 1) {
            double a = (start + i - origin) * ratio;
            double b = a + ratio;
            int lo = static_cast<int>(std::floor(a));
            int hi = static_cast<int>(std::ceil(b)) - 1;
            t.first = lo;
            for (int j = lo; j <= hi; ++j) {
                double w = std::min(b, j + 1.0) - std::max(a, static_cast<double>(j));
                if (w < 0) w = 0;
                t.weights.push_back(static_cast<float>(w));
                sum += w;
            }
        } else {
            double u = (start + i + 0.5 - origin) * ratio - 0.5;  // source coordinate of the centre
            int lo = static_cast<int>(std::floor(u));
            double f = u - lo;
            t.first = lo;
            t.weights = {static_cast<float>(1 - f), static_cast<float>(f)};
            sum = 1;
        }
        if (sum <= 0) {
            t.first = 0;
            t.weights.assign(1, 1.0f);
            sum = 1;
        }
        for (float& w : t.weights) w = static_cast<float>(w / sum);
    }
    return out;
}

// Straight 8-bit RGBA to premultiplied floats.
std::vector<float> premultiply(const std::vector<std::uint8_t>& rgba) {
    std::vector<float> out(rgba.size());
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        float a = rgba[i + 3] / 255.0f;
        out[i] = rgba[i] / 255.0f * a;
        out[i + 1] = rgba[i + 1] / 255.0f * a;
        out[i + 2] = rgba[i + 2] / 255.0f * a;
        out[i + 3] = a;
    }
    return out;
}

std::uint8_t toByte(float v) {
    if (!(v > 0)) return 0;
    if (v >= 1) return 255;
    return static_cast<std::uint8_t>(std::lround(v * 255.0f));
}

// Resamples premultiplied source pixels into `dst` columns [x0, x0 + nx) and
// rows [y0, y0 + ny) of an output in which the source spans the rectangle
// (ox, oy, ew, eh) in pixels. Calls put(x, y, rgba) for each output pixel.
template <typename Put>
void resampleInto(const std::vector<float>& src, int sw, int sh, double ox, double oy, double ew, double eh, int x0,
                  int nx, int y0, int ny, Put put) {
    if (nx <= 0 || ny <= 0 || sw <= 0 || sh <= 0) return;
    std::vector<Taps> hx = makeTaps(sw, ox, ew, x0, nx);
    std::vector<Taps> vy = makeTaps(sh, oy, eh, y0, ny);
    // Horizontal pass: every source row to nx columns.
    std::vector<float> mid(static_cast<std::size_t>(sh) * nx * 4, 0.0f);
    for (int r = 0; r < sh; ++r) {
        const float* row = &src[static_cast<std::size_t>(r) * sw * 4];
        float* outRow = &mid[static_cast<std::size_t>(r) * nx * 4];
        for (int c = 0; c < nx; ++c) {
            const Taps& t = hx[static_cast<std::size_t>(c)];
            float acc[4] = {0, 0, 0, 0};
            for (std::size_t k = 0; k < t.weights.size(); ++k) {
                int j = std::clamp(t.first + static_cast<int>(k), 0, sw - 1);
                const float* p = row + static_cast<std::size_t>(j) * 4;
                float w = t.weights[k];
                acc[0] += p[0] * w;
                acc[1] += p[1] * w;
                acc[2] += p[2] * w;
                acc[3] += p[3] * w;
            }
            std::memcpy(outRow + static_cast<std::size_t>(c) * 4, acc, sizeof acc);
        }
    }
    // Vertical pass.
    for (int r = 0; r < ny; ++r) {
        const Taps& t = vy[static_cast<std::size_t>(r)];
        for (int c = 0; c < nx; ++c) {
            float acc[4] = {0, 0, 0, 0};
            for (std::size_t k = 0; k < t.weights.size(); ++k) {
                int j = std::clamp(t.first + static_cast<int>(k), 0, sh - 1);
                const float* p = &mid[(static_cast<std::size_t>(j) * nx + c) * 4];
                float w = t.weights[k];
                acc[0] += p[0] * w;
                acc[1] += p[1] * w;
                acc[2] += p[2] * w;
                acc[3] += p[3] * w;
            }
            put(x0 + c, y0 + r, acc);
        }
    }
}

thread_local std::vector<std::unique_ptr<BitmapContext>> contextStack;

}  // namespace

// ---- BitmapContext ----

BitmapContext::BitmapContext(Size size, bool opaque, double scale)
    : size_(size), scale_(scale > 0 ? scale : Screen::mainScreen().scale()), opaque_(opaque) {
    width_ = toPixels(size.width, scale_);
    height_ = toPixels(size.height, scale_);
    px_.assign(static_cast<std::size_t>(width_) * height_ * 4, 0.0f);
    if (opaque_) {
        for (std::size_t i = 3; i < px_.size(); i += 4) px_[i] = 1.0f;
    }
}

void BitmapContext::drawImage(const Image& image, const Rect& rect, double alpha) {
    if (width_ == 0 || height_ == 0 || image.pixelWidth() <= 0 || image.pixelHeight() <= 0) return;
    double ox = std::min(rect.origin.x, rect.origin.x + rect.size.width) * scale_;
    double oy = std::min(rect.origin.y, rect.origin.y + rect.size.height) * scale_;
    double ew = std::fabs(rect.size.width) * scale_;
    double eh = std::fabs(rect.size.height) * scale_;
    if (ew <= 0 || eh <= 0) return;
    // Output pixels whose centres fall inside the rectangle, clipped.
    int x0 = std::max(0, static_cast<int>(std::ceil(ox - 0.5)));
    int x1 = std::min(width_, static_cast<int>(std::ceil(ox + ew - 0.5)));
    int y0 = std::max(0, static_cast<int>(std::ceil(oy - 0.5)));
    int y1 = std::min(height_, static_cast<int>(std::ceil(oy + eh - 0.5)));
    if (x1 <= x0 || y1 <= y0) return;
    float a = static_cast<float>(std::clamp(alpha, 0.0, 1.0));
    std::vector<float> src = premultiply(image.pixels());
    resampleInto(src, image.pixelWidth(), image.pixelHeight(), ox, oy, ew, eh, x0, x1 - x0, y0, y1 - y0,
                 [&](int x, int y, const float* s) {
                     float* d = &px_[(static_cast<std::size_t>(y) * width_ + x) * 4];
                     float sa = s[3] * a;
                     float k = 1.0f - sa;
                     d[0] = s[0] * a + d[0] * k;
                     d[1] = s[1] * a + d[1] * k;
                     d[2] = s[2] * a + d[2] * k;
                     d[3] = opaque_ ? 1.0f : sa + d[3] * k;
                 });
}

void BitmapContext::fillRect(const Rect& rect, const Color& color) {
    double ox = std::min(rect.origin.x, rect.origin.x + rect.size.width) * scale_;
    double oy = std::min(rect.origin.y, rect.origin.y + rect.size.height) * scale_;
    double ew = std::fabs(rect.size.width) * scale_;
    double eh = std::fabs(rect.size.height) * scale_;
    int x0 = std::max(0, static_cast<int>(std::ceil(ox - 0.5)));
    int x1 = std::min(width_, static_cast<int>(std::ceil(ox + ew - 0.5)));
    int y0 = std::max(0, static_cast<int>(std::ceil(oy - 0.5)));
    int y1 = std::min(height_, static_cast<int>(std::ceil(oy + eh - 0.5)));
    float sa = static_cast<float>(std::clamp(color.alpha, 0.0, 1.0));
    float s[3] = {static_cast<float>(color.red) * sa, static_cast<float>(color.green) * sa,
                  static_cast<float>(color.blue) * sa};
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            float* d = &px_[(static_cast<std::size_t>(y) * width_ + x) * 4];
            float k = 1.0f - sa;
            d[0] = s[0] + d[0] * k;
            d[1] = s[1] + d[1] * k;
            d[2] = s[2] + d[2] * k;
            d[3] = opaque_ ? 1.0f : sa + d[3] * k;
        }
    }
}

ImagePtr BitmapContext::makeImage() const {
    if (width_ == 0 || height_ == 0) return nullptr;
    std::vector<std::uint8_t> out(px_.size());
    for (std::size_t i = 0; i + 3 < px_.size(); i += 4) {
        float a = px_[i + 3];
        if (a <= 0) {
            out[i] = out[i + 1] = out[i + 2] = out[i + 3] = 0;
            continue;
        }
        out[i] = toByte(px_[i] / a);
        out[i + 1] = toByte(px_[i + 1] / a);
        out[i + 2] = toByte(px_[i + 2] / a);
        out[i + 3] = toByte(a);
    }
    return Image::imageWithPixels(width_, height_, std::move(out), scale_);
}

// ---- The context stack ----

void GraphicsBeginImageContextWithOptions(Size size, bool opaque, double scale) {
    contextStack.push_back(std::make_unique<BitmapContext>(size, opaque, scale));
}

void GraphicsBeginImageContext(Size size) { GraphicsBeginImageContextWithOptions(size, false, 1.0); }

BitmapContext* GraphicsGetCurrentContext() { return contextStack.empty() ? nullptr : contextStack.back().get(); }

ImagePtr GraphicsGetImageFromCurrentImageContext() {
    BitmapContext* c = GraphicsGetCurrentContext();
    return c ? c->makeImage() : nullptr;
}

void GraphicsEndImageContext() {
    if (!contextStack.empty()) contextStack.pop_back();
}

void drawImageInRect(const Image& image, const Rect& rect, double alpha) {
    BitmapContext* c = GraphicsGetCurrentContext();
    if (!c) {
        ns::NSLog("CGContextDrawImage: invalid context 0x0");
        return;
    }
    c->drawImage(image, rect, alpha);
}

void Image::drawInRect(const Rect& rect) const { drawImageInRect(*this, rect); }

std::vector<std::uint8_t> resampleRGBA(const std::vector<std::uint8_t>& rgba, int sw, int sh, int dw, int dh) {
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return {};
    if (rgba.size() != static_cast<std::size_t>(sw) * sh * 4) return {};
    std::vector<float> src = premultiply(rgba);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(dw) * dh * 4);
    resampleInto(src, sw, sh, 0, 0, dw, dh, 0, dw, 0, dh, [&](int x, int y, const float* s) {
        std::uint8_t* d = &out[(static_cast<std::size_t>(y) * dw + x) * 4];
        float a = s[3];
        if (a <= 0) {
            d[0] = d[1] = d[2] = d[3] = 0;
            return;
        }
        d[0] = toByte(s[0] / a);
        d[1] = toByte(s[1] / a);
        d[2] = toByte(s[2] / a);
        d[3] = toByte(a);
    });
    return out;
}

// ---- JPEG ----

namespace {

// Everything libjpeg touches across the longjmp lives here, not on the
// frame that setjmp saved.
struct JpegEncodeJob {
    jpeg_compress_struct cinfo;
    JpegError err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> row;
};

bool runEncode(JpegEncodeJob& job, int width, int height, const std::vector<std::uint8_t>& rgba, int quality) {
    job.cinfo.err = quietJpegErrors(job.err);
    if (setjmp(job.err.jump)) {
        jpeg_destroy_compress(&job.cinfo);
        return false;
    }
    jpeg_create_compress(&job.cinfo);
    jpeg_mem_dest(&job.cinfo, &job.buffer, &job.size);
    job.cinfo.image_width = static_cast<JDIMENSION>(width);
    job.cinfo.image_height = static_cast<JDIMENSION>(height);
    job.cinfo.input_components = 3;
    job.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job.cinfo);
    jpeg_set_quality(&job.cinfo, quality, TRUE);
    jpeg_start_compress(&job.cinfo, TRUE);
    job.row.resize(static_cast<std::size_t>(width) * 3);
    while (job.cinfo.next_scanline < job.cinfo.image_height) {
        const std::uint8_t* src = &rgba[static_cast<std::size_t>(job.cinfo.next_scanline) * width * 4];
        for (int x = 0; x < width; ++x) {
            unsigned a = src[x * 4 + 3];
            for (int c = 0; c < 3; ++c) {
                job.row[static_cast<std::size_t>(x) * 3 + c] =
                    static_cast<std::uint8_t>((src[x * 4 + c] * a + 127) / 255);
            }
        }
        JSAMPROW rows[1] = {job.row.data()};
        jpeg_write_scanlines(&job.cinfo, rows, 1);
    }
    jpeg_finish_compress(&job.cinfo);
    jpeg_destroy_compress(&job.cinfo);
    return true;
}

}  // namespace

bool encodeJPEG(int width, int height, const std::vector<std::uint8_t>& rgba, int quality, ns::Bytes* out) {
    if (width <= 0 || height <= 0 || !out) return false;
    if (rgba.size() != static_cast<std::size_t>(width) * height * 4) return false;
    auto job = std::make_unique<JpegEncodeJob>();
    bool ok = runEncode(*job, width, height, rgba, std::clamp(quality, 1, 100));
    if (ok && job->buffer) out->assign(job->buffer, job->buffer + job->size);
    std::free(job->buffer);
    return ok && !out->empty();
}

std::optional<ns::Bytes> ImageJPEGRepresentation(const ImagePtr& image, double compressionQuality) {
    if (!image) return std::nullopt;
    double q = std::clamp(std::isnan(compressionQuality) ? 0.0 : compressionQuality, 0.0, 1.0);
    ns::Bytes out;
    if (!encodeJPEG(image->pixelWidth(), image->pixelHeight(), image->pixels(),
                    static_cast<int>(std::lround(q * 100)), &out)) {
        return std::nullopt;
    }
    return out;
}

}  // namespace ui
