// How the home screen reaches the modules that are built in libraries of
// their own (channels/, cases/, members/, mervio/): one factory per screen
// it opens. A module library fills its factories in its registration
// function, which the program's entry calls; a factory left empty means the
// module is not in this program.
//
// Each module library kl_<folder> declares its registration function in
// <folder>/Module.h; the program links the library and calls the function
// when the library exists:
//   channels/Module.h: void registerChannelsModule(ModuleRegistry&);
//   cases/Module.h:    void registerCasesModule(ModuleRegistry&);
//   members/Module.h:  void registerMembersModule(ModuleRegistry&);
//   mervio/Module.h:   void registerMervioModule(ModuleRegistry&, MervioHooks&);
//
//   void registerChannelsModule(ModuleRegistry& r) {
//       r.sszt.front = [] { return ui::create<SSZTFrontViewController>(); };
//       r.sszt.rear = [] { return ui::create<SSZTRearViewController>(); };
//   }
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "uikit/ViewController.h"

using ScreenFactory = std::function<std::shared_ptr<ui::ViewController>()>;

// A module shown in the slide-menu container: its front screen (the home
// screen wraps it in a navigation controller) and its rear menu.
struct SlideModule {
    ScreenFactory front;
    ScreenFactory rear;
    bool isBuilt() const { return front && rear; }
};

struct ModuleRegistry {
    SlideModule dq;     // 党群直通: DqFrontViewController, DqRearViewController (channel_code "dqzt")
    SlideModule sszt;   // 时事直通: SSZTFrontViewController, SSZTRearViewController
    SlideModule yddx;   // 移动党校: YDDXFrontViewController, YDDXRearViewController
    SlideModule djwg;   // 党建网格: DJWGFrontViewController (channel_code "djwg"), DJWGRearViewController
    ScreenFactory bmfw;     // 便民服务: BMFWFrontViewController
    ScreenFactory maiWei;   // 先锋Velmarsh: MaiWeiViewController
    ScreenFactory signList; // 签到: SignListViewController
    ScreenFactory sms;      // 短信平台: SMSViewController
    // The party representatives' directory (PartyBehalfViewController): no
    // tile opens it (党代表 does nothing); the screen tour does.
    ScreenFactory partyBehalf;
    // The shared web screen (OCJUIWebViewController) with its title and address.
    std::function<std::shared_ptr<ui::ViewController>(const std::string& title, const std::string& url)> webScreen;

    // Every factory emptied (tests).
    void clear() { *this = ModuleRegistry{}; }
};

// The process-wide registry (main thread).
ModuleRegistry& moduleRegistry();
