// The authorisation in web pages, driven as a user and Mervio's pages would:
// the pages' links open the app's own scheme, the user taps "取消".
#include <gtest/gtest.h>

#include "support/MVApiTest.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace {

class WapAuthTest : public testsupport::MVApiTest {
protected:
    void SetUp() override {
        MVApiTest::SetUp();
        mervio.uninstall();
        ui::WebView::setManualLoading(true);
        WapAuthHandler::setTimeStampGeneratorForTesting([] { return 18446744073709551615ull; });
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->setRootViewController(root);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        ui::WebView::setManualLoading(false);
        MVApiTest::TearDown();
    }

    static std::string own(const std::string& rest) { return std::string(kAppId) + "://" + rest; }
    static std::shared_ptr<WapAuthHandler> handler() { return WapAuthHandler::shareWapAuthHandlerInstance(); }

    // Asks for authorisation without Mervio; the pages are up and their first page asked for.
    std::shared_ptr<MVUIWebViewControll> begin(const MVApiDelegatePtr& delegate) {
        auto req = std::make_shared<SendAuthReq>();
        req->scope = "snsapi_userinfo";
        req->state = "st&1";
        EXPECT_TRUE(MVApi::sendAuthReq(req, root, delegate));
        auto pages = std::dynamic_pointer_cast<MVUIWebViewControll>(driver.frontViewController());
        EXPECT_TRUE(pages);
        if (!pages) return nullptr;
        EXPECT_TRUE(pages->webView()->loads().empty());
        driver.advance(0.1);
        return pages;
    }
    static std::vector<std::string> loads(const std::shared_ptr<MVUIWebViewControll>& pages) {
        std::vector<std::string> out;
        for (const auto& l : pages->webView()->loads()) out.push_back(l.url);
        return out;
    }
    bool pagesShown() const { return std::dynamic_pointer_cast<MVUIWebViewControll>(driver.frontViewController()) != nullptr; }

    ui::TestDriver driver;
    std::shared_ptr<ui::ViewController> root = ui::create<ui::ViewController>();
    std::shared_ptr<ui::Window> window;
    const std::string uid = "18446744073709551615";
};

}  // namespace

TEST_F(WapAuthTest, TheUserAuthorisesInThePages) {
    EXPECT_FALSE(handler()->handleWapOAuthOpenUrl(own("wapoauth?a=1"))) << "idle";
    auto pages = begin(recorder);
    ASSERT_TRUE(pages);
    EXPECT_TRUE(driver.findViewWithText("迈维登录"));
    const std::string check = std::string("https://open.mervio.invalid/oauth/mobilecheck?appid=") + kAppId + "&uid=" + uid;
    EXPECT_EQ(loads(pages), std::vector<std::string>{check});
    EXPECT_FALSE(MVApi::handleOpenURL(own("wapoauth?"), recorder)) << "nothing after the prefix";

    // The mobile-check page hands back; the authorise page follows with the rest.
    pages->webView()->followLink(own("wapoauth?mobile=138&sms=9"));
    driver.runPending();
    ASSERT_EQ(loads(pages).size(), 3u);
    EXPECT_EQ(loads(pages)[2], std::string("https://open.mervio.invalid/oauth/smsauthorize?appid=") + kAppId +
                                   "&redirect_uri=" + kAppId + "%3A%2F%2Foauth&response_type=code"
                                   "&scope=snsapi_userinfo&state=st&1&uid=" + uid + "&mobile=138&sms=9");
    EXPECT_TRUE(recorder->resps.empty());

    // The authorise page's redirect ends it.
    pages->webView()->followLink(own("oauth?code=C9&state=st"));
    driver.runPending();
    ASSERT_EQ(recorder->resps.size(), 1u);
    EXPECT_EQ(recorder->lastResp<SendAuthResp>()->code, "C9");
    EXPECT_FALSE(handler()->isRunning());
    EXPECT_FALSE(pagesShown());
    EXPECT_FALSE(handler()->handleWapOAuthOpenUrl(own("wapoauth?a=1")));
}

TEST_F(WapAuthTest, CancellingAsksAndLeavingAnswersMinusTwo) {
    auto plain = std::make_shared<MVApiDelegate>();
    for (const MVApiDelegatePtr& delegate : {MVApiDelegatePtr(recorder), plain}) {
        ASSERT_TRUE(begin(delegate));
        driver.tapText("取消");
        auto alert = driver.lastAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "");
        EXPECT_EQ(alert->message(), "取消后将退出本次登录");
        ASSERT_TRUE(driver.pressAlertButton("继续登录"));
        EXPECT_TRUE(pagesShown());
        EXPECT_EQ(recorder->resps.size(), delegate == plain ? 1u : 0u);

        driver.tapText("取消");
        ASSERT_TRUE(driver.pressAlertButton("退出登录"));
        EXPECT_FALSE(pagesShown());
        EXPECT_FALSE(handler()->isRunning());
    }
    ASSERT_EQ(recorder->resps.size(), 1u);
    EXPECT_EQ(recorder->lastResp<SendAuthResp>()->errCode, -2);
}

TEST_F(WapAuthTest, ANewBeginEndsTheRunningOneAndMervioTakesItWhenInstalled) {
    auto first = begin(recorder);
    auto second = begin(recorder);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_FALSE(first->presentingViewController());
    EXPECT_EQ(loads(first).size(), 1u);
    EXPECT_TRUE(handler()->endWapAuth());
    EXPECT_FALSE(handler()->endWapAuth());

    mervio.install();
    auto req = std::make_shared<SendAuthReq>();
    req->scope = "s";
    EXPECT_TRUE(MVApi::sendAuthReq(req, root, recorder));
    EXPECT_FALSE(pagesShown());
    EXPECT_EQ(mervio.opened().back().action, "auth/");
    EXPECT_FALSE(MVApi::sendAuthReq(nullptr, root, recorder));
}
