// Set-up for tests of the Mervio SDK: a fresh application (no URL schemes),
// a device with its default answers, no pasteboards, and the SDK's kept
// system version and screen class forgotten, so each test picks its road.
//
//   class RecordTest : public testsupport::MervioTest {};
//   TEST_F(RecordTest, ...) { useSystemVersion("6.1"); ... }   // the pre-iOS-7 road
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mervio/apps/AppCommunicate.h"
#include "mervio/apps/MervioApiUtil.h"
#include "uikit/Application.h"
#include "uikit/BitmapContext.h"
#include "uikit/Device.h"
#include "uikit/Image.h"
#include "uikit/Pasteboard.h"

namespace testsupport {

class MervioTest : public testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

public:

    // The device's system version, read afresh by the SDK.
    static void useSystemVersion(const std::string& version) {
        ui::Device::currentDevice().setSystemVersion(version);
        MervioApiUtil::resetCachesForTesting();
    }

    // "7.0" for the iOS 7 road, "6.1" for the one before it.
    static void useRoad(bool iOS7) { useSystemVersion(iOS7 ? "7.0" : "6.1"); }

    static constexpr const char* kAppId = "mv5c3e8a1f20b74d96";

    static ns::Bytes bytes(std::string_view text) { return ns::Bytes(text.begin(), text.end()); }

    // The record written to the pasteboards of the current road and read back.
    static AppCommunicateDataPtr throughPasteboard(const AppCommunicateDataPtr& record,
                                                   const std::string& appId = kAppId) {
        EXPECT_TRUE(AppCommunicate::setAppCommunicateData(record, appId));
        return AppCommunicate::appCommunicateDataForAppID(appId);
    }

    // A small JPEG picture; with `size`, grown to exactly that many bytes by
    // a comment segment, and still a picture.
    static ns::Bytes jpegPicture(std::size_t size = 0) {
        std::vector<std::uint8_t> rgba(8 * 8 * 4);
        for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 7);
        ns::Bytes jpeg = *ui::ImageJPEGRepresentation(ui::Image::imageWithPixels(8, 8, rgba), 0.6);
        if (size == 0) return jpeg;
        std::size_t payload = size - jpeg.size() - 4;
        ns::Bytes comment = {0xFF, 0xFE, static_cast<std::uint8_t>((payload + 2) >> 8),
                             static_cast<std::uint8_t>((payload + 2) & 0xFF)};
        comment.resize(comment.size() + payload, 'x');
        jpeg.insert(jpeg.begin() + 2, comment.begin(), comment.end());
        return jpeg;
    }

private:
    static void reset() {
        ui::Application::resetForTesting();  // also the device's answers
        ui::Pasteboard::removeAllForTesting();
        MervioApiUtil::setCanOpenURLForTesting(nullptr);
        MervioApiUtil::resetCachesForTesting();
    }
};

}  // namespace testsupport
