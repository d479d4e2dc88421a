#include "uikit/Image.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "foundation/Bundle.h"
#include "uikit/Window.h"

namespace ui {

Image::Image(Private, int w, int h, std::vector<std::uint8_t> rgba, double scale)
    : pixelWidth_(w), pixelHeight_(h), scale_(scale > 0 ? scale : 1),
      size_{w / scale_, h / scale_}, pixels_(std::move(rgba)) {}

ImagePtr Image::imageWithPixels(int w, int h, std::vector<std::uint8_t> rgba, double scale) {
    if (w <= 0 || h <= 0) return nullptr;
    if (rgba.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) return nullptr;
    return std::make_shared<Image>(Private{}, w, h, std::move(rgba), scale);
}

ImagePtr Image::imageWithData(const ns::Bytes& data, double scale) {
    auto decoded = decodePicture(data);
    if (!decoded) return nullptr;
    ImagePtr image = imageWithPixels(decoded->width, decoded->height, std::move(decoded->rgba), scale);
    if (image) image->size_ = Size{decoded->sourceWidth / image->scale_, decoded->sourceHeight / image->scale_};
    return image;
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

}  // namespace ui
