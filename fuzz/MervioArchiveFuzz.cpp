// Keyed archives from other apps: any bytes unarchived as a plain value and
// as each of the SDK's archived records. What is read archives again and
// reads back the same.
#include "FuzzSupport.h"
#include "foundation/KeyedArchive.h"
#include "mervio/apps/AppRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    ns::Bytes bytes = fuzz::bytes(data, size);

    ns::Value value = ns::KeyedUnarchiver::unarchivedValue(bytes);
    if (!value.isNil()) {
        auto again = ns::KeyedArchiver::archivedDataWithRootObject(value);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(fuzz::sameValue(ns::KeyedUnarchiver::unarchivedValue(*again), value));
    }

    ns::CodingPtr object = ns::KeyedUnarchiver::unarchivedObject(bytes, AppRecords::archiveClasses());
    if (auto info = std::dynamic_pointer_cast<AppRegisterInfo>(object)) {
        info->description();
        auto again = ns::KeyedArchiver::archivedDataWithRootObject(object);
        FUZZ_CHECK(again.has_value());
        auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass<AppRegisterInfo>(*again);
        FUZZ_CHECK(back && back->appID == info->appID && back->appInfoVer == info->appInfoVer &&
                   back->nextUpdateInfoTime == info->nextUpdateInfoTime && back->appName == info->appName);
    } else if (auto item = std::dynamic_pointer_cast<AppSettingItem>(object)) {
        auto again = ns::KeyedArchiver::archivedDataWithRootObject(object);
        FUZZ_CHECK(again.has_value());
        auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass<AppSettingItem>(*again);
        FUZZ_CHECK(back && back->appID == item->appID && back->openID == item->openID && back->flag == item->flag &&
                   back->appAddedByUser == item->appAddedByUser);
    } else {
        FUZZ_CHECK(object == nullptr);
    }
    return 0;
}
