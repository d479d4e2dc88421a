#include "app/shell/AppDelegate.h"

#include <fstream>
#include <sstream>

#include <unistd.h>

#include "app/shell/AppLinks.h"
#include "app/shell/HeadViewController.h"
#include "app/shell/MervioHooks.h"
#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "foundation/Dispatch.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "net/Alert.h"
#include "net/NetworkActivity.h"
#include "service/JSON.h"
#include "uikit/Alert.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

namespace {

// The network layer's alerts ("网络连接超时", "未连接网络") become alert views,
// and its activity count drives the status bar's indicator.
void connectNetworkToScreen() {
    net::setAlertPresenter([](const net::Alert& a) {
        auto show = [a] { ui::create<ui::AlertView>(a.title, a.message, nullptr, a.cancelButton)->show(); };
        if (ns::isMainThread()) {
            show();
        } else {
            ns::mainQueue().async(show);
        }
    });
    net::NetworkActivity::setObserver([](bool visible) {
        ns::mainQueue().async(
            [visible] { ui::Application::sharedApplication().setNetworkActivityIndicatorVisible(visible); });
    });
}

void resetOrganisationKeys(ns::UserDefaults& defaults) {
    defaults.setObject(ns::Value(""), "MobileOrg_id");
    defaults.setObject(ns::Value(""), "QuorvelOrg_id");
}

}  // namespace

bool AppDelegate::application_didFinishLaunchingWithOptions(ui::Application&, const ns::Value&) {
    connectNetworkToScreen();

    window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
    window->setBackgroundColor(ui::Color::whiteColor());

    // Every run starts logged out of the comment screens and asks the
    // members' homes for their identity check again.
    auto defaults = ns::UserDefaults::standardUserDefaults();
    resetOrganisationKeys(*defaults);
    defaults->setBool(false, "LoginState");
    defaults->synchronize();

    mervioHooks().callRegisterApp(kMervioAppId, "");

    buildUpdateViews();

    pp = VoVaClient::create(weak_from_this());
    startVersionCheck();

    headViewController = ui::create<HeadViewController>();
    navigationController = ui::create<ui::NavigationController>(headViewController);
    window->setRootViewController(navigationController);
    window->bringSubviewToFront(bgView);
    window->bringSubviewToFront(updateView);
    window->makeKeyAndVisible();
    return true;
}

void AppDelegate::buildUpdateViews() {
    ui::Rect screen = window->bounds();
    bgView = ui::create<ui::View>(screen);
    bgView->setBackgroundColor(ui::Color::blackColor());
    bgView->setAlpha(0.6);
    bgView->setHidden(true);
    window->addSubview(bgView);

    const double w = 280, h = 240;
    updateView = ui::create<ui::View>(ui::Rect{(screen.size.width - w) / 2, (screen.size.height - h) / 2, w, h});
    updateView->setBackgroundColor(ui::Color::whiteColor());
    updateView->layer().setCornerRadius(6);
    updateView->setHidden(true);
    window->addSubview(updateView);

    updateTitleLabel = ui::create<ui::Label>(ui::Rect{0, 10, w, 30});
    updateTitleLabel->setFont(ui::Font::boldSystemFontOfSize(17));
    updateTitleLabel->setTextAlignment(ui::TextAlignmentCenter);
    updateTitleLabel->setBackgroundColor(ui::Color::clearColor());
    updateTitleLabel->setText("发现新版本");
    updateView->addSubview(updateTitleLabel);

    cancelUpdateButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    cancelUpdateButton->setFrame(ui::Rect{w - 32, 6, 26, 26});
    cancelUpdateButton->setImage(ui::Image::imageNamed("cancelupdata.png"), ui::ControlStateNormal);
    cancelUpdateButton->addTarget(std::shared_ptr<AppDelegate>(shared_from_this()), &AppDelegate::cancelUpdate,
                                  ui::ControlEventTouchUpInside);
    updateView->addSubview(cancelUpdateButton);

    updateContentLabel = ui::create<ui::Label>(ui::Rect{15, 48, w - 30, 130});
    updateContentLabel->setFont(ui::Font::systemFontOfSize(14));
    updateContentLabel->setNumberOfLines(0);
    updateContentLabel->setLineBreakMode(ui::LineBreakByWordWrapping);
    updateContentLabel->setBackgroundColor(ui::Color::clearColor());
    updateView->addSubview(updateContentLabel);

    updateButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    updateButton->setFrame(ui::Rect{40, h - 52, w - 80, 38});
    updateButton->setTitle("立即更新", ui::ControlStateNormal);
    updateButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    updateButton->titleLabel()->setFont(ui::Font::systemFontOfSize(16));
    updateButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    updateButton->addTarget(std::shared_ptr<AppDelegate>(shared_from_this()), &AppDelegate::update,
                            ui::ControlEventTouchUpInside);
    updateView->addSubview(updateButton);
}

void AppDelegate::startVersionCheck() {
    requestType = kRequestVersion;
    // The task holds the client, not this delegate: were it the last owner,
    // the delegate and its screens would be torn down off the main thread.
    // The client may be used from any thread; the reply comes on the main one.
    ns::globalQueue().async([client = pp] { client->AutoUpdate(); });
}

void AppDelegate::GetWebServerContent_success(const std::string& result) {
    if (requestType == kRequestVersion) {
        versionReply(result);
    } else if (requestType == kRequestDevice) {
        ns::NSLog("设备注册response=%@", result);
        deviceRegistrationDone_ = true;
    }
}

void AppDelegate::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    ns::NSLog("%@失败: %@", requestType, error ? error->description() : std::string("(null)"));
    if (startupFailure_.empty()) {
        startupFailure_ = std::string(requestType == kRequestVersion ? "the version check" : "the device registration") +
                          ": " + (error ? error->localizedDescription() : std::string("no reason given"));
    }
    if (requestType == kRequestVersion) {
        versionCheckDone_ = true;
        deviceRegistrationDone_ = true;  // nothing is sent without the version reply
    } else if (requestType == kRequestDevice) {
        deviceRegistrationDone_ = true;
    }
}

void AppDelegate::versionReply(const std::string& result) {
    ns::NSLog("版本更新response=%@", result);
    versionCheckDone_ = true;
    ns::Value reply = JSONValue(result);
    ns::Value version = reply["ios_version"];
    // A reply without a version (or one that does not parse) says nothing
    // about a new version: no prompt.
    if (version.isString() || version.isNumber()) {
        std::string latest = version.description();
        if (!latest.empty() && latest != bundleVersion()) {
            updateTitleLabel->setText(ns::format("发现新版本 %@", latest));
            updateContentLabel->setText(reply["ios_description"].isNone() ? std::string()
                                                                          : reply["ios_description"].description());
            bgView->setHidden(false);
            updateView->setHidden(false);
            window->bringSubviewToFront(bgView);
            window->bringSubviewToFront(updateView);
        }
    }
    registerDevice();
}

void AppDelegate::registerDevice() {
    requestType = kRequestDevice;
    pp->SubmitDevice(deviceIdentifier());
}

void AppDelegate::update() {
    ui::Application::sharedApplication().openURL(AppLinks::installLink());
    hideUpdateViews();
}

void AppDelegate::cancelUpdate() { hideUpdateViews(); }

void AppDelegate::hideUpdateViews() {
    updateView->setHidden(true);
    bgView->setHidden(true);
}

void AppDelegate::applicationDidEnterBackground(ui::Application&) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    resetOrganisationKeys(*defaults);
    defaults->synchronize();
}

bool AppDelegate::application_handleOpenURL(ui::Application&, const std::string& url) {
    return mervioHooks().callHandleOpenURL(url);
}

bool AppDelegate::application_openURL_sourceApplication_annotation(ui::Application&, const std::string& url,
                                                                   const std::string&, const ns::Value&) {
    return mervioHooks().callHandleOpenURL(url);
}

std::string AppDelegate::bundleVersion() {
    return ns::Bundle::mainBundle()->objectForInfoDictionaryKey("CFBundleShortVersionString").text();
}

std::string AppDelegate::deviceIdentifier() {
    // The machine's own identifier, mixed with the bundle identifier so that
    // the service never sees the machine's identifier itself.
    std::string machine;
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::ifstream in(path);
        if (in && std::getline(in, machine) && !machine.empty()) break;
        machine.clear();
    }
    if (machine.empty()) {
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) == 0) machine = host;
    }
    return ns::md5Hex(machine + "/" + ns::Bundle::mainBundle()->bundleIdentifier());
}
