// The article body view (delegate calls, picture and link touches) and the
// shared web screen (overlay, back, hidden system bar).
#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/widgets/HTMLArticleView.h"
#include "app/framework/OCJUIWebViewController.h"
#include "support/LoopbackService.h"
#include "support/WebContent.h"

namespace {

using testsupport::content;
using testsupport::jpegPicture;

class Reader : public HTMLArticleViewDelegate {
public:
    void htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& view, const ns::ErrorPtr& error) override {
        finished++;
        lastError = error;
        webHiddenAtFinish = view->webView()->isHidden();
        height = view->webView()->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight");
        width = view->webView()->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth ");
    }
    void htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>&, const std::string& url) override {
        images.push_back(url);
    }
    void htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>&, const std::string& url) override {
        links.push_back(url);
    }
    int finished = 0;
    ns::ErrorPtr lastError;
    bool webHiddenAtFinish = true;
    std::string height, width;
    std::vector<std::string> images, links;
};

class HTMLArticleViewTest : public widgettest::WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        ui::WebView::resetForTesting();
        screen = ui::create<ui::ViewController>();
        showRoot(screen);
        article = ui::create<HTMLArticleView>(ui::Rect{5, 70, 310, 90});
        article->setDelegate(reader);
        screen->view()->addSubview(article);
    }
    void TearDown() override {
        ui::WebView::resetForTesting();
        WidgetTest::TearDown();
    }
    // Taps the middle of the first box of the page for which pred holds.
    ui::web::Hit tapBox(const std::function<bool(const ui::web::Box&)>& pred) {
        auto* page = article->webView()->pageLayout();
        if (!page) return {};
        for (const auto& b : page->boxes()) {
            if (!pred(b)) continue;
            ui::Point mid{b.frame.midX(), b.frame.midY()};
            ui::Point screenPoint = article->webView()->convertPoint_toView(mid, nullptr);
            driver->tapAt(screenPoint);
            return article->webView()->elementAtPoint(mid);
        }
        ADD_FAILURE() << "no such box on the page";
        return {};
    }

    std::shared_ptr<ui::ViewController> screen;
    std::shared_ptr<HTMLArticleView> article;
    std::shared_ptr<Reader> reader = std::make_shared<Reader>();
};

TEST_F(HTMLArticleViewTest, BodyShowsOnceLaidOutWithWidePicturesScaledToThePage) {
    LoopbackService svc;
    svc.serve("/pic/wide.jpg", content(jpegPicture(640, 320, 120), "image/jpeg"));
    std::string body = "<p>第一段</p><p><img src=\"" + svc.baseURL() + "/pic/wide.jpg\"></p><p>第二段</p>";
    article->loadHtmlBody(body);
    EXPECT_TRUE(article->webView()->isHidden());
    ASSERT_TRUE(driver->waitUntil([&] { return reader->finished == 1; }));
    EXPECT_FALSE(reader->lastError);
    EXPECT_FALSE(reader->webHiddenAtFinish);
    EXPECT_EQ(reader->width, "310");  // the 640-point picture fits the page
    EXPECT_GT(std::stol(reader->height), 155);  // 310 x 155 of picture plus the text
    ASSERT_EQ(article->webView()->loads().size(), 1u);
    EXPECT_NE(article->webView()->loads()[0].html.find(body), std::string::npos);
    EXPECT_NE(article->webView()->document()->textContent().find("第二段"), std::string::npos);

    // Resized by its owner to the page's height, the web view follows.
    article->setFrame(ui::Rect{5, 70, 310, std::stod(reader->height)});
    EXPECT_EQ(article->webView()->frame().size.height, std::stod(reader->height));
}

TEST_F(HTMLArticleViewTest, EmptyBodyStillFinishesWithoutError) {
    article->loadHtmlBody("");
    ASSERT_TRUE(driver->waitUntil([&] { return reader->finished == 1; }));
    EXPECT_FALSE(reader->lastError);
    EXPECT_FALSE(article->webView()->isHidden());
}

TEST_F(HTMLArticleViewTest, PictureAndLinkTouchesGoToTheDelegateAndTheLinkIsNotFollowed) {
    LoopbackService svc;
    svc.serve("/p.jpg", content(jpegPicture(100, 80, 120), "image/jpeg"));
    std::string pic = svc.baseURL() + "/p.jpg";
    article->setFrame(ui::Rect{5, 70, 310, 400});
    article->loadHtmlBody("<p><a href=\"http://example.org/appoint.jpg\">任免名单</a></p><p><img src=\"" + pic +
                          "\"></p><p>正文</p>");
    ASSERT_TRUE(driver->waitUntil([&] { return reader->finished == 1; }));

    auto hit = tapBox([](const ui::web::Box& b) { return b.kind == ui::web::Box::Picture; });
    EXPECT_TRUE(hit.isImage());
    EXPECT_EQ(reader->images, std::vector<std::string>{pic});
    EXPECT_TRUE(reader->links.empty());

    auto link = article->webView()->pageLayout()->frameOfLink("http://example.org/appoint.jpg");
    ASSERT_TRUE(link);
    driver->tapAt(article->webView()->convertPoint_toView(ui::Point{link->midX(), link->midY()}, nullptr));
    EXPECT_EQ(reader->links, std::vector<std::string>{"http://example.org/appoint.jpg"});
    driver->runPending();
    EXPECT_EQ(article->webView()->loads().size(), 1u);  // still the article
    EXPECT_FALSE(article->webView()->isLoading());

    tapBox([](const ui::web::Box& b) { return b.kind == ui::web::Box::Text && b.text == "正文"; });
    EXPECT_EQ(reader->images.size(), 1u);
    EXPECT_EQ(reader->links.size(), 1u);

    // A link followed by other means is refused the same way.
    article->webView()->followLink("http://example.org/other.html");
    driver->runPending();
    EXPECT_EQ(reader->links.back(), "http://example.org/other.html");
    EXPECT_EQ(reader->finished, 1);
}

TEST_F(HTMLArticleViewTest, FailedLoadReportsTheErrorAndKeepsTheBodyHidden) {
    ui::WebView::setManualLoading(true);
    article->loadHtmlBody("<p>x</p>");
    ASSERT_TRUE(driver->waitUntil([&] { return article->webView()->hasPendingLoad(); }));
    ASSERT_TRUE(article->webView()->failPendingLoad(ns::makeError(ui::NSURLErrorDomain, ui::URLErrorTimedOut,
                                                                  std::string("timed out"))));
    ASSERT_TRUE(driver->waitUntil([&] { return reader->finished == 1; }));
    ASSERT_TRUE(reader->lastError);
    EXPECT_EQ(reader->lastError->code, ui::URLErrorTimedOut);
    EXPECT_TRUE(article->webView()->isHidden());
}

TEST_F(HTMLArticleViewTest, ABodyReplacedWhileLoadingReportsOnlyTheNewOne) {
    ui::WebView::setManualLoading(true);
    article->loadHtmlBody("<p>旧</p>");
    ASSERT_TRUE(driver->waitUntil([&] { return article->webView()->hasPendingLoad(); }));
    article->loadHtmlBody("<p>新</p>");
    ASSERT_TRUE(driver->waitUntil([&] { return article->webView()->hasPendingLoad(); }));
    ASSERT_TRUE(article->webView()->finishPendingLoad());
    ASSERT_TRUE(driver->waitUntil([&] { return reader->finished >= 1; }));
    driver->runPending();
    EXPECT_EQ(reader->finished, 1);
    EXPECT_FALSE(reader->lastError);
    EXPECT_NE(article->webView()->document()->textContent().find("新"), std::string::npos);
}

// ---- The shared web screen ----

class WebScreenTest : public widgettest::WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        ui::WebView::resetForTesting();
        root = ui::create<ui::ViewController>();
        nav = ui::create<ui::NavigationController>(root);
        showRoot(nav);
    }
    void TearDown() override {
        ui::WebView::resetForTesting();
        WidgetTest::TearDown();
    }
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(WebScreenTest, LoadsTheAddressUnderTheTitleWithTheOverlayWhileLoading) {
    LoopbackService svc;
    svc.serve("/GB/68294/index6.html",
              LoopbackService::held(content("<html><body><p>在线阅读</p></body></html>", "text/html")));
    auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
    EXPECT_EQ(web->nibName(), "OCJUIWebViewController");
    web->titleStr = "附件详情";
    web->urlStr = svc.baseURL() + "/GB/68294/index6.html";
    nav->pushViewController(web, true);
    EXPECT_TRUE(nav->isNavigationBarHidden());
    EXPECT_TRUE(driver->findViewWithText("附件详情"));
    ASSERT_TRUE(driver->waitUntil([&] { return svc.requests().size() == 1; }));
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    EXPECT_TRUE(ProgressHUD::isVisible());

    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return !ProgressHUD::isVisible(); }));
    EXPECT_EQ(web->webView->request().url, web->urlStr);
    EXPECT_NE(web->webView->document()->textContent().find("在线阅读"), std::string::npos);

    driver->tap(web->naview->leftButton);
    EXPECT_EQ(nav->topViewController(), root);
}

TEST_F(WebScreenTest, AFailedLoadTakesTheOverlayDown) {
    auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
    web->urlStr = LoopbackService::refusedURL() + "/book.pdf";
    nav->pushViewController(web, true);
    EXPECT_EQ(web->naview->titleLabel->text(), "");
    ASSERT_TRUE(driver->waitUntil([&] { return ProgressHUD::isVisible(); }));
    ASSERT_TRUE(driver->waitUntil([&] { return !ProgressHUD::isVisible() && !web->webView->isLoading(); }));
}

TEST_F(WebScreenTest, LeavingWhileAPageLoadsTakesTheOverlayDown) {
    ui::WebView::setManualLoading(true);
    auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
    web->urlStr = "http://127.0.0.1:1/slow.html";
    nav->pushViewController(web, true);
    ASSERT_TRUE(driver->waitUntil([&] { return ProgressHUD::isVisible(); }));
    driver->tap(web->naview->leftButton);
    driver->runPending();
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(nav->topViewController(), root);
}

}  // namespace
