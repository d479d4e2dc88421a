// The pasteboard road of app-to-app records: the first byte picks the road
// (odd: iOS 7 and later, the general pasteboard; even: the named boards
// before it, with file data beside), the rest is what another app left as
// the board's content. The record is taken by its first reader, and the
// general pasteboard gets back the text the record carried.
#include "MervioRecordFuzz.h"
#include "mervio/apps/AppCommunicate.h"
#include "mervio/apps/MervioApiUtil.h"
#include "mervio/RecordReader.h"
#include "uikit/Device.h"
#include "uikit/Pasteboard.h"

namespace {

constexpr const char* kAppId = "mv5c3e8a1f20b74d96";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    if (size == 0) return 0;
    bool iOS7 = (data[0] & 1) != 0;
    ns::Bytes content = fuzz::bytes(data + 1, size - 1);
    ui::Pasteboard::removeAllForTesting();
    ui::Device::currentDevice().setSystemVersion(iOS7 ? "7.0" : "6.1");
    MervioApiUtil::resetCachesForTesting();

    ns::Value sent = MervioApiUtil::propertyListFromData(content);
    if (iOS7) {
        ui::Pasteboard::generalPasteboard()->setData(content, "content");
    } else {
        AppCommunicate::getDataPasteboard()->setData(content, "content");
        AppCommunicate::getFilePasteboard()->setData(ns::Bytes{1, 2, 3}, "content");
    }

    if (auto record = AppCommunicate::appCommunicateDataForAppID(kAppId)) {
        FUZZ_CHECK(sent[kAppId].isDictionary());
        fuzz::readRecord(*record);
    }
    if (iOS7 && sent.isDictionary()) {
        auto oldText = mvrecord::text(sent, "old_text");
        if (oldText && !oldText->empty()) FUZZ_CHECK(ui::Pasteboard::generalPasteboard()->string() == oldText);
    }
    // Taken: a second reader finds nothing.
    FUZZ_CHECK(AppCommunicate::appCommunicateDataForAppID(kAppId) == nullptr);
    return 0;
}
