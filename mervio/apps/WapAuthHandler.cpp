#include "mervio/apps/WapAuthHandler.h"

#include <mutex>
#include <random>

#include "foundation/Dispatch.h"
#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "mervio/apps/MVApiConfig.h"
#include "uikit/BarButtonItem.h"
#include "uikit/NavigationController.h"
#include "uikit/Window.h"

namespace {

std::function<std::uint64_t()>& timeStampGenerator() {
    static std::function<std::uint64_t()> generator;
    return generator;
}

std::uint64_t nextTimeStamp() {
    if (auto& generator = timeStampGenerator()) return generator();
    static std::mt19937_64 engine{std::random_device{}()};
    return engine();
}

std::string pageUrl(const char* path, const std::string& query) {
    return std::string(mvconfig::kOpenPlatformHost) + path + "?" + query;
}

}  // namespace

// ---- MVUIWebViewControll ----

void MVUIWebViewControll::init(const std::shared_ptr<MVUIWebViewControllDelegate>& delegate) {
    ui::ViewController::init();
    delegate_ = delegate;
}

void MVUIWebViewControll::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    webView_ = ui::create<ui::WebView>(ui::Screen::mainScreen().bounds());
    webView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    webView_->setDelegate(sharedAs<ui::WebViewDelegate>());
    webView_->setUserInteractionEnabled(true);
    view()->addSubview(webView_);
}

void MVUIWebViewControll::refresh(const std::string& url) {
    view();
    webView_->loadRequest(ui::URLRequest::requestWithURL(url));
}

// ---- WapAuthHandler ----

std::shared_ptr<WapAuthHandler> WapAuthHandler::shareWapAuthHandlerInstance() {
    static const std::shared_ptr<WapAuthHandler> instance = std::make_shared<WapAuthHandler>();
    return instance;
}

bool WapAuthHandler::beginWapAuth(const std::shared_ptr<SendAuthReq>& req,
                                  const std::shared_ptr<ui::ViewController>& currentVC, const std::string& appId,
                                  const MVApiDelegatePtr& delegate) {
    endWapAuth();
    delegate_ = delegate;
    running_ = true;
    timeStamp_ = nextTimeStamp();
    sendAuthReq_ = req;
    appId_ = appId;

    auto controller = getWebViewController();
    auto navigation = ui::create<ui::NavigationController>(controller);
    if (currentVC) currentVC->presentViewController(navigation, true);

    // The first page once the pages are up; a load for pages that have
    // closed meanwhile is not made.
    auto self = sharedAs<WapAuthHandler>();
    ns::dispatchAfter(0.1, ns::mainQueue(), [self, controller] {
        if (self->running_ && self->webViewController_ == controller) controller->refresh(self->getMobileCheckUrl());
    });
    return true;
}

bool WapAuthHandler::handleWapOAuthOpenUrl(const std::string& url) {
    if (!running_ || !webViewController_) return false;
    const std::string prefix = ns::format("%@://wapoauth?", appId_);
    if (!ns::hasPrefix(url, prefix) || url.size() <= prefix.size()) return false;
    const std::string rest = url.substr(prefix.size());
    const std::string redirect = ns::format("%@%%3A%%2F%%2Foauth", appId_);
    const std::string scope = sendAuthReq_ ? sendAuthReq_->scope : std::string();
    const std::string state = sendAuthReq_ ? sendAuthReq_->state : std::string();
    webViewController_->refresh(
        pageUrl(mvconfig::kSmsAuthorizePath,
                ns::format("appid=%@&redirect_uri=%@&response_type=code&scope=%@&state=%@&uid=%llu&%@", appId_,
                           redirect, scope, state, timeStamp_, rest)));
    return true;
}

bool WapAuthHandler::endWapAuth() {
    if (!running_) return false;
    onCancelOAuthWebView();
    return true;
}

void WapAuthHandler::onCancelOAuthWebView() {
    running_ = false;
    if (auto controller = std::move(webViewController_)) controller->dismissViewControllerAnimated(true);
}

void WapAuthHandler::cancelWapOAuth() {
    ui::create<ui::AlertView>("", "取消后将退出本次登录", sharedAs<ui::AlertViewDelegate>(), "继续登录",
                              std::vector<std::string>{"退出登录"})
        ->show();
}

void WapAuthHandler::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) {
    if (buttonIndex == alert->cancelButtonIndex()) return;
    if (auto delegate = delegate_.lock()) {
        auto resp = std::make_shared<SendAuthResp>();
        resp->errCode = -2;
        delegate->onResp(resp);
    }
    endWapAuth();
}

void WapAuthHandler::onHiddenLeftBar() {
    if (webViewController_) webViewController_->navigationItem()->setLeftBarButtonItem(nullptr);
}

void WapAuthHandler::onShowLeftBar() {
    if (webViewController_) giveCancelButton();
}

std::string WapAuthHandler::getMobileCheckUrl() const {
    return pageUrl(mvconfig::kMobileCheckPath, ns::format("appid=%@&uid=%llu", appId_, timeStamp_));
}

std::shared_ptr<MVUIWebViewControll> WapAuthHandler::getWebViewController() {
    if (webViewController_) return webViewController_;
    webViewController_ = ui::create<MVUIWebViewControll>(sharedAs<MVUIWebViewControllDelegate>());
    giveCancelButton();
    webViewController_->setTitle("迈维登录");
    return webViewController_;
}

void WapAuthHandler::giveCancelButton() {
    webViewController_->navigationItem()->setLeftBarButtonItem(
        ui::create<ui::BarButtonItem>("取消", ui::BarButtonItemStyleBordered, this, &WapAuthHandler::cancelWapOAuth));
}

void WapAuthHandler::setTimeStampGeneratorForTesting(std::function<std::uint64_t()> generator) {
    timeStampGenerator() = std::move(generator);
}

void WapAuthHandler::resetForTesting() {
    auto handler = shareWapAuthHandlerInstance();
    handler->onCancelOAuthWebView();
    handler->appId_.clear();
    handler->timeStamp_ = 0;
    handler->sendAuthReq_.reset();
    handler->delegate_.reset();
    timeStampGenerator() = nullptr;
}
