// The two archivable records of a registered app as Mervio keeps it: the
// per-app setting and the app's registration information. Both write
// themselves into keyed archives (foundation/KeyedArchive.h) under fixed
// keys and read themselves back.
//
//   auto bytes = ns::KeyedArchiver::archivedDataWithRootObject(info);
//   auto back = ns::KeyedUnarchiver::unarchivedObject(*bytes, AppRecords::archiveClasses());
//   auto info2 = std::dynamic_pointer_cast<AppRegisterInfo>(back);
//
// Empty texts are archived as nil and nil reads back as empty; a missing
// key, or a value of another kind, reads as empty, 0 or NO.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/KeyedArchive.h"

class AppSettingItem : public ns::Coding {
public:
    std::string appID;
    std::string openID;
    std::uint32_t flag = 0;
    bool appAddedByUser = false;

    std::string className() const override { return "AppSettingItem"; }
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    void initWithCoder(ns::KeyedUnarchiver& coder) override;
};

class AppRegisterInfo : public ns::Coding {
public:
    bool appAddedByUser = false;
    std::string appID;
    std::string appIdentifier;
    std::string appName;
    std::string appName4ZhTw;
    std::string appName4EnUs;
    std::string appDescription;
    std::string appDescription4EnUs;
    std::string appDescription4ZhTw;
    std::string appInstallUrl;
    bool needUpdateInfo = false;
    bool needUpdateIcon = false;
    bool needUpdateWatermark = false;
    std::uint64_t appInfoVer = 0;
    std::string appIconUrl;
    std::string appWatermarkUrl;
    std::uint32_t lastUpdateInfoTime = 0;
    std::uint32_t lastUpdateWatermarkTime = 0;
    std::uint32_t lastUpdateIconTime = 0;
    std::string appTypeList;
    std::string appDevInfo;
    std::uint32_t appInfoFlag = 0;
    std::uint32_t appUpdateVersion = 0;
    bool appCanShowNew = false;
    bool isNewApp = false;
    std::string appDownloadUrl;
    std::string appDownloadUrlMD5;
    std::uint32_t nextUpdateInfoTime = 0;
    std::uint32_t rankWeight = 0;  // not archived

    // "{ name:<appName> appid:<appID>}" ("(null)" for an empty text).
    std::string description() const;

    std::string className() const override { return "AppRegisterInfo"; }
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    void initWithCoder(ns::KeyedUnarchiver& coder) override;
};

namespace AppRecords {
// The classes a reader of these archives allows.
std::vector<ns::ArchiveClass> archiveClasses();
}  // namespace AppRecords
