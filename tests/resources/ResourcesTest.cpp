// The bundle's resource folder: every picture the screens load is there,
// decodes, and has the size its place on screen expects; the province list
// is a property list of the shape the city picker reads.
#include <gtest/gtest.h>

#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "foundation/PropertyList.h"

#include <cairo.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path resourcesDir() { return ns::Bundle::mainBundle()->resourcePath(); }

struct Expected {
    const char* name;
    int width, height;
};

// Sizes in points, as the screens place them.
const Expected kPictures[] = {
    {"navbar.png", 320, 64},       {"menu.png", 22, 22},          {"menu", 24, 20},
    {"ico_back.png", 22, 22},      {"icon_empty.png", 120, 120},  {"line.png", 320, 2},
    {"whitejian.png", 8, 11},      {"blueArrow.png", 30, 55},     {"title.png", 280, 40},
    {"title_seledted.png", 20, 20}, {"title_unselected.png", 20, 20},
    {"no_shangji.png", 20, 20},    {"have_shangji.png", 20, 20},  {"you.png", 20, 20},
    {"xia.png", 20, 20},           {"subit.png", 150, 40},        {"cancelupdata.png", 70, 40},
    {"head_right.png", 21, 23},    {"ico_zhan.png", 15, 15},      {"pushd.png", 60, 35},
    {"add.png", 24, 24},           {"user.png", 240, 40},         {"password.png", 240, 40},
    {"tell.png", 20, 20},          {"maiwei1.png", 320, 504},     {"maiwei2.png", 320, 504},
    {"maiwei3.png", 320, 504},     {"maiwei4.png", 320, 504},     {"maiwei5.png", 320, 504},
    {"maiwei6.png", 320, 504},     {"maiwei7.png", 320, 504},     {"Icon.png", 57, 57},
    {"Icon@2x.png", 114, 114},
};

struct JpegResult {
    bool complete = false;  // decoded to the last line without error or warning
    int width = 0, height = 0;
};

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

[[noreturn]] void jpegFail(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Counts warnings (level -1) without printing them.
void jpegQuiet(j_common_ptr info, int level) {
    if (level < 0) ++info->err->num_warnings;
}

JpegResult decodeJpeg(const fs::path& path) {
    JpegResult result;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return result;
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegQuiet;
    std::vector<unsigned char> row;
    if (setjmp(err.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_stdio_src(&info, f);
        jpeg_read_header(&info, TRUE);
        jpeg_start_decompress(&info);
        result.width = static_cast<int>(info.output_width);
        result.height = static_cast<int>(info.output_height);
        row.resize(static_cast<size_t>(info.output_width) * info.output_components);
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[1] = {row.data()};
            jpeg_read_scanlines(&info, rows, 1);
        }
        jpeg_finish_decompress(&info);
        result.complete = err.mgr.num_warnings == 0;  // a truncated file only warns
    }
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return result;
}

TEST(BundleResources, EveryPictureDecodesAtItsSize) {
    ASSERT_FALSE(resourcesDir().empty()) << "no resources folder found";
    for (const Expected& pic : kPictures) {
        SCOPED_TRACE(pic.name);
        const fs::path path = resourcesDir() / pic.name;
        ASSERT_TRUE(fs::is_regular_file(path));
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_width(s), pic.width);
        EXPECT_EQ(cairo_image_surface_get_height(s), pic.height);
        cairo_surface_destroy(s);
    }

    // The one JPEG: a complete baseline image, not only a valid header.
    const JpegResult jpeg = decodeJpeg(resourcesDir() / "test_adv_item.jpg");
    EXPECT_TRUE(jpeg.complete);
    EXPECT_EQ(jpeg.width, 120);
    EXPECT_EQ(jpeg.height, 120);
}

TEST(BundleResources, ProvinceListHasEveryProvinceWithItsCities) {
    const std::string path = ns::Bundle::mainBundle()->pathForResource("ProvincesAndCities", "plist");
    ASSERT_FALSE(path.empty());
    const auto bytes = ns::readFile(path);
    ASSERT_TRUE(bytes);
    ns::PropertyListFormat format = ns::PropertyListFormat::Binary;
    const ns::Value list = ns::PropertyListSerialization::propertyListWithData(*bytes, &format);
    EXPECT_EQ(format, ns::PropertyListFormat::XML);
    ASSERT_TRUE(list.isArray());

    std::set<std::string> states;
    std::vector<std::string> shenzhenIn, dongchengIn;
    size_t cityCount = 0;
    for (const ns::Value& entry : list.items()) {
        ASSERT_TRUE(entry.isDictionary());
        EXPECT_EQ(entry.count(), 2u);
        ASSERT_TRUE(entry["state"].isString());
        ASSERT_TRUE(entry["cities"].isArray());
        const std::string state = entry["state"].str();
        SCOPED_TRACE(state);
        EXPECT_TRUE(states.insert(state).second) << "listed twice";
        std::set<std::string> cities;
        for (const ns::Value& city : entry["cities"].items()) {
            ASSERT_TRUE(city.isString());
            const std::string c = city.str();
            EXPECT_FALSE(c.empty());
            EXPECT_TRUE(cities.insert(c).second) << c << " listed twice";
            if (c == "深圳市") shenzhenIn.push_back(state);
            if (c == "东城区") dongchengIn.push_back(state);
        }
        EXPECT_FALSE(cities.empty());
        cityCount += cities.size();
    }

    // 23 provinces (Taiwan included), 5 autonomous regions, 4 municipalities,
    // 2 special administrative regions.
    EXPECT_EQ(states.size(), 34u);
    for (const char* s : {"北京市", "上海市", "天津市", "重庆市", "广东省", "新疆维吾尔自治区",
                          "台湾省", "香港特别行政区", "澳门特别行政区"})
        EXPECT_TRUE(states.count(s)) << s;
    EXPECT_EQ(shenzhenIn, std::vector<std::string>{"广东省"});
    EXPECT_EQ(dongchengIn, std::vector<std::string>{"北京市"});
    EXPECT_GT(cityCount, 400u);
}

}  // namespace
