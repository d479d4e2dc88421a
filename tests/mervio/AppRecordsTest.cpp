// The archived app records: their keys and forms, a round trip of every
// field, and archives with keys missing or of other kinds.
#include <gtest/gtest.h>

#include "foundation/PropertyList.h"
#include "mervio/apps/AppRecords.h"

namespace {

AppRegisterInfo fullInfo() {
    AppRegisterInfo info;
    info.appAddedByUser = true;
    info.appID = "mv5c3e8a1f20b74d96";
    info.appIdentifier = "cn.velmarsh.kestrowline";
    info.appName = "先锋Velmarsh";
    info.appName4ZhTw = "先鋒";
    info.appName4EnUs = "Pioneer";
    info.appDescription = "描述";
    info.appDescription4EnUs = "About";
    info.appDescription4ZhTw = "描述TW";
    info.appInstallUrl = "https://example.org/install";
    info.needUpdateInfo = true;
    info.needUpdateIcon = false;
    info.needUpdateWatermark = true;
    info.appInfoVer = 18446744073709551615ULL;
    info.appIconUrl = "https://example.org/icon.png";
    info.appWatermarkUrl = "https://example.org/mark.png";
    info.lastUpdateInfoTime = 1425175200;
    info.lastUpdateWatermarkTime = 4000000000u;
    info.lastUpdateIconTime = 7;
    info.appTypeList = "1,2";
    info.appDevInfo = "dev";
    info.appInfoFlag = 0xFFFFFFFFu;
    info.appUpdateVersion = 3;
    info.appCanShowNew = true;
    info.isNewApp = true;
    info.appDownloadUrl = "https://example.org/app.ipa";
    info.appDownloadUrlMD5 = "d41d8cd98f00b204e9800998ecf8427e";
    info.nextUpdateInfoTime = 4294967295u;
    info.rankWeight = 9;
    return info;
}

// The fields of the archive's root object, as stored.
ns::Value rootFields(const ns::Bytes& archive) {
    ns::Value plist = ns::PropertyListSerialization::propertyListWithData(archive);
    return plist["$objects"].at(static_cast<std::size_t>(plist["$top"]["root"]["CF$UID"].integerValue()));
}

}  // namespace

TEST(AppRecords, RegisterInfoRoundTripsEveryFieldButRankWeight) {
    auto info = std::make_shared<AppRegisterInfo>(fullInfo());
    auto bytes = ns::KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<ns::Coding>(info));
    ASSERT_TRUE(bytes);
    auto back = std::dynamic_pointer_cast<AppRegisterInfo>(
        ns::KeyedUnarchiver::unarchivedObject(*bytes, AppRecords::archiveClasses()));
    ASSERT_TRUE(back);
    AppRegisterInfo expected = fullInfo();
    expected.rankWeight = 0;
#define SAME(field) EXPECT_EQ(back->field, expected.field) << #field
    SAME(appAddedByUser); SAME(appID); SAME(appIdentifier); SAME(appName); SAME(appName4ZhTw); SAME(appName4EnUs);
    SAME(appDescription); SAME(appDescription4EnUs); SAME(appDescription4ZhTw); SAME(appInstallUrl);
    SAME(needUpdateInfo); SAME(needUpdateIcon); SAME(needUpdateWatermark); SAME(appInfoVer); SAME(appIconUrl);
    SAME(appWatermarkUrl); SAME(lastUpdateInfoTime); SAME(lastUpdateWatermarkTime); SAME(lastUpdateIconTime);
    SAME(appTypeList); SAME(appDevInfo); SAME(appInfoFlag); SAME(appUpdateVersion); SAME(appCanShowNew);
    SAME(isNewApp); SAME(appDownloadUrl); SAME(appDownloadUrlMD5); SAME(nextUpdateInfoTime); SAME(rankWeight);
#undef SAME
    EXPECT_EQ(back->description(), "{ name:先锋Velmarsh appid:mv5c3e8a1f20b74d96}");
    EXPECT_EQ(AppRegisterInfo().description(), "{ name:(null) appid:(null)}");
}

TEST(AppRecords, KeysAndFormsAreTheArchivesOwn) {
    auto bytes = ns::KeyedArchiver::archivedDataWithRootObject(
        std::static_pointer_cast<ns::Coding>(std::make_shared<AppRegisterInfo>(fullInfo())));
    ASSERT_TRUE(bytes);
    ns::Value fields = rootFields(*bytes);
    for (const char* key : {"added", "description", "appurl", "needUpdateWaterMark", "nextupdateinfotime", "appiconurl"})
        EXPECT_TRUE(fields.has(key)) << key;
    for (const char* key : {"rankWeight", "appAddedByUser", "appDescription", "needUpdateWatermark"})
        EXPECT_FALSE(fields.has(key)) << key;
    EXPECT_TRUE(fields["added"].isBool());
    // 32-bit forms keep the bits of unsigned values as signed ones.
    EXPECT_EQ(fields["nextupdateinfotime"].integerValue(), -1);
    EXPECT_EQ(fields["appinfoflag"].integerValue(), -1);
    EXPECT_EQ(fields["lastUpdateWatermarkTime"].integerValue(), 4000000000LL);
    EXPECT_TRUE(fields["appName"].isDictionary()) << "objects are references";
}

TEST(AppRecords, SettingItemRoundTripsAndEmptyTextsAreNil) {
    auto item = std::make_shared<AppSettingItem>();
    item->appID = "mv5c3e";
    item->flag = 0x80000001u;
    item->appAddedByUser = true;
    auto bytes = ns::KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<ns::Coding>(item));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(rootFields(*bytes)["openID"]["CF$UID"].integerValue(), 0) << "an empty text is the nil reference";
    auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass<AppSettingItem>(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->appID, "mv5c3e");
    EXPECT_EQ(back->openID, "");
    EXPECT_EQ(back->flag, 0x80000001u);
    EXPECT_TRUE(back->appAddedByUser);
    EXPECT_FALSE(ns::KeyedUnarchiver::unarchivedObjectOfClass<AppRegisterInfo>(*bytes)) << "another class";
}

TEST(AppRecords, MissingKeysAndOtherKindsReadEmpty) {
    auto uid = [](long long n) { return ns::Value::dictionary({{"CF$UID", ns::Value(n)}}); };
    ns::Value plist = ns::Value::dictionary({
        {"$archiver", ns::Value("NSKeyedArchiver")},
        {"$version", ns::Value(100000)},
        {"$top", ns::Value::dictionary({{"root", uid(1)}})},
        {"$objects", ns::Value::array({
            ns::Value("$null"),
            ns::Value::dictionary({{"appName", uid(3)}, {"appID", uid(4)}, {"added", ns::Value(1)},
                                   {"appInfoVer", ns::Value("12")}, {"$class", uid(2)}}),
            ns::Value::dictionary({{"$classname", ns::Value("AppRegisterInfo")},
                                   {"$classes", ns::Value::array({ns::Value("AppRegisterInfo"), ns::Value("NSObject")})}}),
            ns::Value("只有名字"),
            ns::Value(42),
        })},
    });
    auto bytes = ns::PropertyListSerialization::dataWithPropertyList(plist, ns::PropertyListFormat::Binary);
    auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass<AppRegisterInfo>(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->appName, "只有名字");
    EXPECT_EQ(back->appID, "") << "a number where a text belongs";
    EXPECT_TRUE(back->appAddedByUser);
    EXPECT_EQ(back->appInfoVer, 0u) << "text where a number belongs";
    EXPECT_EQ(back->appInstallUrl, "");
    EXPECT_FALSE(back->needUpdateInfo);
    EXPECT_EQ(back->nextUpdateInfoTime, 0u);
}
