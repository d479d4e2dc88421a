// The authorisation in web pages, for a device without the Mervio app:
// Mervio's open-platform pages in a modal web screen titled "迈维登录",
// which hand back through the app's own scheme.
//
//   WapAuthHandler::shareWapAuthHandlerInstance()->beginWapAuth(req, screen, appId, delegate);
//   // 0.1 s later the mobile-check page loads ("/oauth/mobilecheck?appid=…&uid=…");
//   // each "<app id>://wapoauth?<rest>" that the pages open loads the authorise
//   // page with the rest; "<app id>://oauth?code=…" ends it (MVApi::handleOpenURL).
//
// "取消" asks "取消后将退出本次登录": "继续登录" stays, "退出登录" answers the
// delegate a SendAuthResp with errCode -2 and closes the pages. A new begin
// ends the running authorisation first. Main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/Value.h"
#include "mervio/apps/MVApi.h"
#include "uikit/Alert.h"
#include "uikit/ViewController.h"
#include "uikit/WebView.h"

class MVUIWebViewControllDelegate {
public:
    virtual ~MVUIWebViewControllDelegate() = default;
    virtual void onHiddenLeftBar() {}
    virtual void onShowLeftBar() {}
};

// The screen of the pages: one web view over the whole screen.
class MVUIWebViewControll : public ui::ViewController, public ui::WebViewDelegate {
public:
    using ui::ViewController::init;
    // initWithDelegate:
    void init(const std::shared_ptr<MVUIWebViewControllDelegate>& delegate);
    void viewDidLoad() override;
    // Loads the address.
    void refresh(const std::string& url);

    std::shared_ptr<ui::WebView> webView() const { return webView_; }
    std::shared_ptr<MVUIWebViewControllDelegate> delegate() const { return delegate_.lock(); }

private:
    std::shared_ptr<ui::WebView> webView_;
    std::weak_ptr<MVUIWebViewControllDelegate> delegate_;
};

class WapAuthHandler : public ui::Object, public MVUIWebViewControllDelegate, public ui::AlertViewDelegate {
public:
    static std::shared_ptr<WapAuthHandler> shareWapAuthHandlerInstance();

    // Ends a running authorisation, then presents the pages on `currentVC`
    // and loads the mobile-check page 0.1 s later. YES.
    bool beginWapAuth(const std::shared_ptr<SendAuthReq>& req, const std::shared_ptr<ui::ViewController>& currentVC,
                      const std::string& appId, const MVApiDelegatePtr& delegate);
    // "<app id>://wapoauth?<rest>" while running: the authorise page with the
    // rest; NO otherwise (also for the bare prefix).
    bool handleWapOAuthOpenUrl(const std::string& url);
    // Closes the pages; NO when nothing runs.
    bool endWapAuth();
    // The "取消" button: asks whether to leave.
    void cancelWapOAuth();
    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;
    // Closes the pages without a test and without a result.
    void onCancelOAuthWebView();
    void onHiddenLeftBar() override;
    void onShowLeftBar() override;

    std::string getMobileCheckUrl() const;
    // The pages' screen, made on first use.
    std::shared_ptr<MVUIWebViewControll> getWebViewController();
    static ns::Value parseURLParams(const std::string& query) { return MVApi::parseURLParams(query); }

    bool isRunning() const { return running_; }

    // Tests: where each authorisation's "uid" comes from (nullptr: the
    // process's pseudo-random generator).
    static void setTimeStampGeneratorForTesting(std::function<std::uint64_t()> generator);
    // Tests: closes what runs and forgets everything kept.
    static void resetForTesting();

private:
    void giveCancelButton();

    std::shared_ptr<MVUIWebViewControll> webViewController_;
    std::string appId_;
    std::uint64_t timeStamp_ = 0;
    std::shared_ptr<SendAuthReq> sendAuthReq_;
    std::weak_ptr<MVApiDelegate> delegate_;
    bool running_ = false;
};
