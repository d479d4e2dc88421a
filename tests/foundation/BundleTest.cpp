#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"

using namespace ns;

TEST(Bundle, InfoValuesOfTheMainBundle) {
    auto b = Bundle::mainBundle();
    EXPECT_EQ(b->bundleIdentifier(), "gov.velmarsh.kestrowline");
    EXPECT_EQ(b->objectForInfoDictionaryKey("CFBundleDisplayName").str(), "Velmarsh Kestrowline");
    EXPECT_EQ(b->objectForInfoDictionaryKey("CFBundleName").str(), "Kestrowline");
    EXPECT_EQ(b->objectForInfoDictionaryKey("CFBundleShortVersionString").str(), "1.0");
    EXPECT_EQ(b->objectForInfoDictionaryKey("CFBundleVersion").str(), "1.0");
    Value icons = b->objectForInfoDictionaryKey("CFBundleIconFiles");
    EXPECT_EQ(icons, Value::array({Value("Icon.png"), Value("Icon@2x.png")}));
    EXPECT_TRUE(b->objectForInfoDictionaryKey("CFBundleIconFile").isNil());
    // The dictionary handed out is a copy.
    b->infoDictionary().set("CFBundleVersion", Value("9"));
    EXPECT_EQ(b->objectForInfoDictionaryKey("CFBundleVersion").str(), "1.0");
}

TEST(Bundle, ResourcesFolderLookupAndPaths) {
    std::string saved = std::getenv("KL_RESOURCES") ? std::getenv("KL_RESOURCES") : "";
    std::string dir = temporaryDirectory() + "/res";
    ASSERT_TRUE(FileManager::defaultManager().createDirectoryAtPath(dir + "/img", true));
    ASSERT_TRUE(writeFileAtomically(dir + "/menu.png", Bytes{1}));
    ASSERT_TRUE(writeFileAtomically(dir + "/img/ProvincesAndCities.plist", Bytes{1}));

    setenv("KL_RESOURCES", dir.c_str(), 1);
    Bundle::resetMainBundle();
    {
        LogCapture log;  // no Info.plist here: an empty dictionary and a log line
        auto b = Bundle::mainBundle();
        EXPECT_EQ(b->resourcePath(), dir);
        EXPECT_EQ(b->infoDictionary().count(), 0u);
        EXPECT_TRUE(log.contains("Info.plist"));
        EXPECT_EQ(b->pathForResource("menu", "png"), dir + "/menu.png");
        EXPECT_EQ(b->pathForResource("menu.png", ""), dir + "/menu.png");
        EXPECT_EQ(b->pathForResource("ProvincesAndCities", "plist", "img"), dir + "/img/ProvincesAndCities.plist");
        EXPECT_EQ(b->pathForResource("menu", "jpg"), "");
        EXPECT_EQ(b->pathForResource("", "png"), "");
    }

    // Without KL_RESOURCES the compiled-in source folder still answers.
    unsetenv("KL_RESOURCES");
    Bundle::resetMainBundle();
    EXPECT_EQ(Bundle::mainBundle()->bundleIdentifier(), "gov.velmarsh.kestrowline");

    if (!saved.empty()) setenv("KL_RESOURCES", saved.c_str(), 1);
    Bundle::resetMainBundle();
}
