// The home screen of the program as its entry registers the modules: every
// tile that needs no Mervio SDK opens its module's screen.
#include <gtest/gtest.h>

#include <functional>

#include "app/ShellTestSupport.h"
#include "app/framework/OCJUIWebViewController.h"
#include "app/framework/RevealController.h"
#include "app/shell/AppLinks.h"
#include "app/shell/Utils.h"
#include "cases/DJWGFrontViewController.h"
#include "cases/DqFrontViewController.h"
#include "channels/BMFWFrontViewController.h"
#include "channels/PartySchool.h"
#include "channels/SSZTFrontViewController.h"
#include "members/SMSViewController.h"
#include "program/Modules.h"

namespace {

using H = HeadViewController;

class ProgramTilesTest : public shelltest::ShellTest {
protected:
    // The screen a tile opened: the front of a module's container, or the screen pushed.
    std::shared_ptr<ui::ViewController> opened() const {
        auto reveal = std::dynamic_pointer_cast<RevealController>(top());
        if (!reveal) return top();
        auto front = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return front ? front->topViewController() : nullptr;
    }
};

template <typename T>
bool is(const std::shared_ptr<ui::ViewController>& vc) {
    return std::dynamic_pointer_cast<T>(vc) != nullptr;
}

TEST_F(ProgramTilesTest, EveryTileOpensItsModule) {
    registerBuiltInModules(moduleRegistry(), mervioHooks());
    svc.reply("GetPower", R"({"state":"successful","is_power":"1"})");
    launchHome();
    Utils::saveUserWithMemberData(ns::Value::dictionary({{"member_id", "501"}, {"real_name", "李四"}}), "1");

    const std::pair<int, std::function<bool(const std::shared_ptr<ui::ViewController>&)>> tiles[] = {
        {H::kTileDqzt, is<DqFrontViewController>},
        {H::kTileSszt, is<SSZTFrontViewController>},
        {H::kTileVldj,
         [](const std::shared_ptr<ui::ViewController>& vc) {
             auto web = std::dynamic_pointer_cast<OCJUIWebViewController>(vc);
             return web && web->titleStr == "Velmarsh党建" && web->urlStr == AppLinks::regionalPartyBuildingPage();
         }},
        {H::kTileYddx, is<YDDXFrontViewController>},
        {H::kTileDjwg, is<DJWGFrontViewController>},
        {H::kTileBmfw, is<BMFWFrontViewController>},
        {H::kTileSms, is<SMSViewController>},
    };
    for (const auto& [tag, expected] : tiles) {
        SCOPED_TRACE(tag);
        tapTile(tag);
        ASSERT_TRUE(driver->waitUntil([&] { return top() != home(); }));
        driver->advance(1.0);
        EXPECT_TRUE(expected(opened()));
        nav()->popToRootViewControllerAnimated(false);
        ASSERT_TRUE(driver->waitUntilExchangesSettle());
        driver->advance(1.0);
    }
}

}  // namespace
