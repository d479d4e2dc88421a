// The application delegate: builds the window and the home screen, resets
// the per-run keys, registers with Mervio, checks for a new version and
// registers the device with the service.
//
//   auto delegate = std::make_shared<AppDelegate>();
//   ui::Application::sharedApplication().setDelegate(delegate);
//   ui::Application::sharedApplication().finishLaunching();
#pragma once

#include <memory>
#include <string>

#include "service/VoVaClient.h"
#include "uikit/Application.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/View.h"
#include "uikit/Window.h"

class HeadViewController;

class AppDelegate : public ui::ApplicationDelegate,
                    public PPClientDelegate,
                    public std::enable_shared_from_this<AppDelegate> {
public:
    // What the delegate's client has outstanding.
    static constexpr const char* kRequestVersion = "版本更新";
    static constexpr const char* kRequestDevice = "设备注册";

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::NavigationController> navigationController;
    std::shared_ptr<HeadViewController> headViewController;
    // The dimming view (black, alpha 0.6) and the update view above it.
    std::shared_ptr<ui::View> bgView;
    std::shared_ptr<ui::View> updateView;
    std::shared_ptr<ui::Label> updateTitleLabel;
    std::shared_ptr<ui::Label> updateContentLabel;
    std::shared_ptr<ui::Button> updateButton;
    std::shared_ptr<ui::Button> cancelUpdateButton;
    std::shared_ptr<VoVaClient> pp;
    std::string requestType;

    // ui::ApplicationDelegate
    bool application_didFinishLaunchingWithOptions(ui::Application& app, const ns::Value& options) override;
    void applicationDidEnterBackground(ui::Application& app) override;
    bool application_handleOpenURL(ui::Application& app, const std::string& url) override;
    bool application_openURL_sourceApplication_annotation(ui::Application& app, const std::string& url,
                                                          const std::string& sourceApplication,
                                                          const ns::Value& annotation) override;

    // PPClientDelegate (main run loop)
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    // The update view's buttons.
    void update();
    void cancelUpdate();

    // The version string of the bundle ("CFBundleShortVersionString").
    static std::string bundleVersion();
    // This device's identifier for this application: 32 hexadecimal digits,
    // the same in every run on one machine.
    static std::string deviceIdentifier();

    // True once the version check and the device registration are over
    // (answered or failed): the start-up has nothing more to do.
    bool isStartupSettled() const { return versionCheckDone_ && deviceRegistrationDone_; }
    bool isVersionCheckDone() const { return versionCheckDone_; }
    // Which start-up request failed and why ("" while none has).
    const std::string& startupFailure() const { return startupFailure_; }

private:
    void buildUpdateViews();
    void startVersionCheck();
    void versionReply(const std::string& result);
    void registerDevice();
    void hideUpdateViews();

    bool versionCheckDone_ = false;
    bool deviceRegistrationDone_ = false;
    std::string startupFailure_;
};
