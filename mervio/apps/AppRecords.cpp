#include "mervio/apps/AppRecords.h"

#include "foundation/Format.h"

namespace {

ns::Value orNil(const std::string& text) { return text.empty() ? ns::Value() : ns::Value(text); }

std::string textFor(ns::KeyedUnarchiver& coder, const std::string& key) {
    ns::Value v = coder.decodeObjectForKey(key);
    return v.isString() ? v.str() : std::string();
}

}  // namespace

void AppSettingItem::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(orNil(appID), "appID");
    coder.encodeObject(orNil(openID), "openID");
    coder.encodeInt32(static_cast<std::int32_t>(flag), "flag");
    coder.encodeBool(appAddedByUser, "appAddedByUser");
}

void AppSettingItem::initWithCoder(ns::KeyedUnarchiver& coder) {
    appID = textFor(coder, "appID");
    openID = textFor(coder, "openID");
    flag = static_cast<std::uint32_t>(coder.decodeInt32ForKey("flag"));
    appAddedByUser = coder.decodeBoolForKey("appAddedByUser");
}

std::string AppRegisterInfo::description() const {
    return ns::format("{ name:%@ appid:%@}", orNil(appName), orNil(appID));
}

void AppRegisterInfo::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeBool(appAddedByUser, "added");
    coder.encodeObject(orNil(appID), "appID");
    coder.encodeObject(orNil(appIdentifier), "appIdentifier");
    coder.encodeObject(orNil(appName), "appName");
    coder.encodeObject(orNil(appName4ZhTw), "appName4ZhTw");
    coder.encodeObject(orNil(appName4EnUs), "appName4EnUs");
    coder.encodeObject(orNil(appDescription), "description");
    coder.encodeObject(orNil(appDescription4EnUs), "description4EnUs");
    coder.encodeObject(orNil(appDescription4ZhTw), "description4ZhTw");
    coder.encodeObject(orNil(appInstallUrl), "appurl");
    coder.encodeBool(needUpdateInfo, "needUpdateInfo");
    coder.encodeBool(needUpdateIcon, "needUpdateIcon");
    coder.encodeBool(needUpdateWatermark, "needUpdateWaterMark");
    coder.encodeInteger(static_cast<long long>(appInfoVer), "appInfoVer");
    coder.encodeObject(orNil(appIconUrl), "appiconurl");
    coder.encodeObject(orNil(appWatermarkUrl), "appwatermarkurl");
    coder.encodeInteger(lastUpdateInfoTime, "lastUpdateInfoTime");
    coder.encodeInteger(lastUpdateWatermarkTime, "lastUpdateWatermarkTime");
    coder.encodeInteger(lastUpdateIconTime, "lastUpdateIconTime");
    coder.encodeObject(orNil(appTypeList), "apptypelist");
    coder.encodeObject(orNil(appDevInfo), "appdevinfo");
    coder.encodeInt32(static_cast<std::int32_t>(appInfoFlag), "appinfoflag");
    coder.encodeInt32(static_cast<std::int32_t>(appUpdateVersion), "appupdateversion");
    coder.encodeBool(appCanShowNew, "appcanshownew");
    coder.encodeBool(isNewApp, "isnewapp");
    coder.encodeObject(orNil(appDownloadUrl), "appdownloadurl");
    coder.encodeObject(orNil(appDownloadUrlMD5), "appdownloadurlmd5");
    coder.encodeInt32(static_cast<std::int32_t>(nextUpdateInfoTime), "nextupdateinfotime");
}

void AppRegisterInfo::initWithCoder(ns::KeyedUnarchiver& coder) {
    appAddedByUser = coder.decodeBoolForKey("added");
    appID = textFor(coder, "appID");
    appIdentifier = textFor(coder, "appIdentifier");
    appName = textFor(coder, "appName");
    appName4ZhTw = textFor(coder, "appName4ZhTw");
    appName4EnUs = textFor(coder, "appName4EnUs");
    appDescription = textFor(coder, "description");
    appDescription4EnUs = textFor(coder, "description4EnUs");
    appDescription4ZhTw = textFor(coder, "description4ZhTw");
    appInstallUrl = textFor(coder, "appurl");
    needUpdateInfo = coder.decodeBoolForKey("needUpdateInfo");
    needUpdateIcon = coder.decodeBoolForKey("needUpdateIcon");
    needUpdateWatermark = coder.decodeBoolForKey("needUpdateWaterMark");
    appInfoVer = static_cast<std::uint64_t>(coder.decodeIntegerForKey("appInfoVer"));
    appIconUrl = textFor(coder, "appiconurl");
    appWatermarkUrl = textFor(coder, "appwatermarkurl");
    lastUpdateInfoTime = static_cast<std::uint32_t>(coder.decodeIntegerForKey("lastUpdateInfoTime"));
    lastUpdateWatermarkTime = static_cast<std::uint32_t>(coder.decodeIntegerForKey("lastUpdateWatermarkTime"));
    lastUpdateIconTime = static_cast<std::uint32_t>(coder.decodeIntegerForKey("lastUpdateIconTime"));
    appTypeList = textFor(coder, "apptypelist");
    appDevInfo = textFor(coder, "appdevinfo");
    appInfoFlag = static_cast<std::uint32_t>(coder.decodeInt32ForKey("appinfoflag"));
    appUpdateVersion = static_cast<std::uint32_t>(coder.decodeInt32ForKey("appupdateversion"));
    appCanShowNew = coder.decodeBoolForKey("appcanshownew");
    isNewApp = coder.decodeBoolForKey("isnewapp");
    appDownloadUrl = textFor(coder, "appdownloadurl");
    appDownloadUrlMD5 = textFor(coder, "appdownloadurlmd5");
    nextUpdateInfoTime = static_cast<std::uint32_t>(coder.decodeIntegerForKey("nextupdateinfotime"));
}

namespace AppRecords {

std::vector<ns::ArchiveClass> archiveClasses() {
    return {ns::ArchiveClass::of<AppSettingItem>(), ns::ArchiveClass::of<AppRegisterInfo>()};
}

}  // namespace AppRecords
