#include "demo/HostileData.h"

#include <png.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "foundation/Value.h"
#include "uikit/BitmapContext.h"
#include "service/JSON.h"

namespace demo {

namespace fs = std::filesystem;

namespace {

void appendPNG(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

ns::Value readJSON(const fs::path& path) {
    JSONParser parser;
    ns::Value v = parser.parse(readText(path), false);
    if (v.isNil()) throw std::runtime_error(path.string() + ": " + parser.error());
    return v;
}

}  // namespace

std::string blackPNG(int w, int h, bool interlaced) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<std::size_t>((w + 7) / 8), 0);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("cannot write a PNG");
    }
    png_set_write_fn(png, &out, appendPNG, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 1, PNG_COLOR_TYPE_GRAY,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < h; ++y) png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string jpegClaiming(int w, int h) {
    ns::Bytes bytes;
    std::vector<std::uint8_t> grey(16 * 16 * 4, 128);
    for (std::size_t i = 3; i < grey.size(); i += 4) grey[i] = 255;
    if (!ui::encodeJPEG(16, 16, grey, 75, &bytes))
        throw std::runtime_error("cannot encode a JPEG");
    std::string out(bytes.begin(), bytes.end());
    // The frame header (FF C0, length, precision) then height and width.
    std::size_t sof = out.find("\xFF\xC0");
    if (sof == std::string::npos || sof + 9 > out.size()) throw std::runtime_error("no JPEG frame header");
    out[sof + 5] = static_cast<char>(h >> 8);
    out[sof + 6] = static_cast<char>(h & 0xFF);
    out[sof + 7] = static_cast<char>(w >> 8);
    out[sof + 8] = static_cast<char>(w & 0xFF);
    return out;
}

std::string hostileTitle(std::size_t bytes) {
    std::string title = "【超长标题】";
    title.reserve(bytes + 64);
    while (title.size() < bytes) title += "一个服务端送来的极长标题，";
    return title;
}

void writeHostileData(const std::string& from, const std::string& to) {
    const fs::path in(from), out(to);
    std::error_code ec;
    fs::create_directories(out, ec);
    if (!fs::is_directory(out)) throw std::runtime_error("cannot make " + to);
    const std::string local = std::string("file://") + kHostileLocalFile;

    writeText(out / "huge.png", blackPNG(16384, 16384));
    writeText(out / "huge.jpg", jpegClaiming(16384, 16384));
    ns::Value pictures = readJSON(in / "pictures.json");
    pictures["pictures"].push(ns::Value::dictionary({{"name", "huge.png"}, {"file", "huge.png"}}));
    pictures["pictures"].push(ns::Value::dictionary({{"name", "huge.jpg"}, {"file", "huge.jpg"}}));
    writeText(out / "pictures.json", JSONRepresentation(pictures));

    // Every list picture claims 16384 x 16384; the first article of the
    // first list has a 10 MB title and a body that reaches for local files.
    ns::Value articles = readJSON(in / "articles.json");
    bool first = true;
    for (auto category : articles["categories"].items()) {
        int n = 0;
        for (auto article : category["articles"].items()) {
            article.set("picture", n++ % 2 ? "huge.jpg" : "huge.png");
            if (!first) continue;
            first = false;
            article.set("title", hostileTitle());
            article.set("content", "<p>正文里的本地图片和链接：</p>"
                                   "<p><img src='" + local + "'></p><p><img src='file:///dev/zero'></p>"
                                   "<p><img src='file:" + std::string(kHostileLocalFile) + "'></p>"
                                   "<p><img src='$BASE/demo/pictures/huge.png'></p>"
                                   "<p><img src='$BASE/demo/pictures/huge.jpg'></p>"
                                   "<p><a href='" + local + "'>本地文件</a></p>" +
                                       article["content"].text());
        }
    }
    writeText(out / "articles.json", JSONRepresentation(articles));

    // The first link of the directory is a local file.
    ns::Value service = readJSON(in / "service.json");
    service["links"].at(0)["links"].at(0).set("url", local);
    writeText(out / "service.json", JSONRepresentation(service));
    // The rest of the data as it is.
    for (const auto& entry : fs::directory_iterator(in)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != "pictures.json" && name != "articles.json" && name != "service.json")
            writeText(out / name, readText(entry.path()));
    }
}

}  // namespace demo
