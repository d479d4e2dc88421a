// The home screen: twelve module tiles under the product's full name, with
// the sign-in button on the left of the title bar. Tiles open a module's
// slide-menu container, a single screen, or nothing; the party-building
// grid, the SMS platform and the sign-in first ask for a login through the
// login overlay, which remembers the feature that asked.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/shell/LoginViewController.h"
#include "app/shell/ModuleRegistry.h"
#include "app/widgets/NavBarView.h"
#include "service/VoVaClient.h"
#include "uikit/Alert.h"
#include "uikit/Button.h"
#include "uikit/ViewController.h"

class HeadViewController : public ui::ViewController,
                           public PPClientDelegate,
                           public LoginViewControllerDelegate,
                           public ui::AlertViewDelegate {
public:
    static constexpr const char* kProductName = "Velmarsh Kestrowline";

    // Tile tags.
    enum Tile {
        kTileDqzt = 1000,          // 党群直通
        kTileSszt = 1001,          // 时事直通
        kTileVldj = 1002,          // Velmarsh党建
        kTileYddx = 1003,          // 移动党校
        kTileRepresentatives = 1004,  // 党代表 (no screen)
        kTileDjwg = 1005,          // 党建网格
        kTileBmfw = 1006,          // 便民服务
        kTileMaiWei = 1007,        // 先锋Velmarsh
        kTileSms = 1008,           // 短信平台
        kTileSupply = 1009,        // 党员供需 (no screen)
        kTileVideo = 1010,         // 视频专栏 (no screen)
        kTileActivities = 1011,    // 基层活动 (no screen)
    };
    struct TileInfo {
        int tag;
        const char* title;
    };
    // The tiles in their order on screen (three to a row).
    static const std::vector<TileInfo>& tileList();
    static std::string titleForTile(int tag);

    // What asked for a login (the overlay's isFrom).
    static constexpr const char* kFromDjwg = "党建网格";
    static constexpr const char* kFromSms = "短信平台";
    static constexpr const char* kFromSign = "签到";
    // The permission the SMS tile asks for.
    static constexpr const char* kRequestPower = "短信权限";

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> signButton;   // "签到", left in the title bar
    std::vector<std::shared_ptr<ui::Button>> tileButtons;
    std::shared_ptr<LoginViewController> loginview;
    std::shared_ptr<VoVaClient> pp;
    std::string requestType;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Actions.
    void buttonClick(std::shared_ptr<ui::Button> sender);
    void signClick();

    // LoginViewControllerDelegate
    void rolesName(const std::string& name, bool loginState) override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // ui::AlertViewDelegate ("请先登录！")
    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;

    static constexpr int kLoginAlertTag = 3000;

private:
    // Whether the home screen is the one in front, so a touch or a reply may
    // open something (not while it is covered or going away).
    bool isInFront() const;
    void openTile(int tag);
    void openSlideModule(const SlideModule& module, const std::string& title);
    void pushScreen(const ScreenFactory& factory);
    void showLogin(const std::string& isFrom);
    void openDjwg();
    void querySmsPower();
    void openSignList();
};
