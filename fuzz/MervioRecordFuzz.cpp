// The app-to-app record: any bytes read as the SDK reads a property list
// from another app; the dictionary, and each dictionary in it (the entries
// of a board's content, by app id), read by every record reader.
#include "MervioRecordFuzz.h"
#include "mervio/apps/MervioApiUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    ns::Value plist = MervioApiUtil::propertyListFromData(fuzz::bytes(data, size));
    if (!plist.isDictionary()) return 0;
    fuzz::readRecord(AppCommunicateData(plist));
    for (const auto& [appId, entry] : plist.entries())
        if (entry.isDictionary()) fuzz::readRecord(AppCommunicateData(entry));
    return 0;
}
