// Web views: callbacks per load, pages and pictures from the loopback
// service, script answers, links followed in place, the test controls, and
// what a page may reach and cost.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "foundation/Data.h"
#include "support/LoopbackService.h"
#include "support/WebContent.h"
#include "UITestSupport.h"
#include "uikit/WebView.h"

using namespace ui;
using uitest::UITest;

namespace {

class PageDelegate : public Object, public WebViewDelegate {
public:
    bool webView_shouldStartLoadWithRequest_navigationType(const std::shared_ptr<WebView>&, const URLRequest& r,
                                                           WebViewNavigationType type) override {
        asked.push_back(r.url);
        types.push_back(type);
        return allow;
    }
    void webViewDidStartLoad(const std::shared_ptr<WebView>&) override { calls.push_back("start"); }
    void webViewDidFinishLoad(const std::shared_ptr<WebView>& wv) override {
        calls.push_back("finish");
        height = wv->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight");
        width = wv->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth ");
    }
    void webView_didFailLoadWithError(const std::shared_ptr<WebView>&, const ns::ErrorPtr& e) override {
        calls.push_back("fail " + std::to_string(e->code));
        lastError = e;
    }
    bool ended() const {
        return !calls.empty() && (calls.back() == "finish" || calls.back().rfind("fail", 0) == 0);
    }
    bool allow = true;
    std::vector<std::string> calls, asked;
    std::vector<WebViewNavigationType> types;
    std::string height, width;
    ns::ErrorPtr lastError;
};

using testsupport::content;
using testsupport::jpegPicture;

class WebViewTest : public UITest {
protected:
    void SetUp() override {
        UITest::SetUp();
        window->makeKeyAndVisible();
        pages = std::make_shared<PageDelegate>();
        web = create<WebView>(Rect{5, 100, 300, 90});
        web->setDelegate(pages);
        window->addSubview(web);
    }
    void TearDown() override {
        web.reset();
        UITest::TearDown();
    }
    bool finish() { return driver->waitUntil([&] { return pages->ended(); }); }

    std::shared_ptr<PageDelegate> pages;
    std::shared_ptr<WebView> web;
};

TEST_F(WebViewTest, APageWithPicturesFromTheLoopbackServiceReportsItsHeight) {
    LoopbackService svc;
    svc.serve("/news/pics/a.jpg", content(jpegPicture(200, 150), "image/jpeg"));
    svc.serve("/b.jpg", content(jpegPicture(400, 300), "image/jpeg"));
    svc.serve("/news/item.html",
              content("<html><body style='margin:0'><img src='pics/a.jpg'><a href='/other.html'>"
                   "<img src='/b.jpg' width='100'></a><img src='missing.jpg' width='10' height='10'></body></html>",
                   "text/html; charset=utf-8"));

    web->loadRequest(URLRequest::requestWithURL(svc.baseURL() + "/news/item.html"));
    EXPECT_TRUE(pages->calls.empty());  // nothing before a later turn
    EXPECT_TRUE(web->isLoading());
    ASSERT_TRUE(finish());
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "finish"}));
    EXPECT_EQ(pages->height, "235");  // 150 + 100 * 300 / 400 + 10
    EXPECT_EQ(pages->width, "300");
    EXPECT_FALSE(web->isLoading());
    EXPECT_EQ(web->subviews().front(), web->scrollView());
    EXPECT_EQ(web->scrollView()->contentSize(), (Size{300, 235}));
    ASSERT_TRUE(svc.count() >= 4);  // the page and its three pictures

    // The picture that is a link: a tap follows it in place, with the callbacks again.
    svc.serve("/other.html", content("<p>other</p>", "text/html"));
    auto box = web->pageLayout()->boxes()[1].frame;  // page coordinates: below the 90-point view
    web->scrollView()->setContentOffset(Point{0, box.minY()});
    Point inView{box.midX(), box.midY() - box.minY()};
    EXPECT_EQ(web->elementAtPoint(inView).imageURL, svc.baseURL() + "/b.jpg");
    pages->calls.clear();
    driver->tapAt(web->convertPoint_toView(inView, nullptr));
    ASSERT_TRUE(finish());
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "finish"}));
    EXPECT_EQ(pages->types.back(), WebViewNavigationTypeLinkClicked);
    EXPECT_EQ(web->request().url, svc.baseURL() + "/other.html");
    EXPECT_EQ(web->loads().back().url, svc.baseURL() + "/other.html");
    EXPECT_EQ(web->document()->textContent(), "other");
}

TEST_F(WebViewTest, HTMLTextLoadsOnLaterTurnsAndScriptsAnswerFromTheLayout) {
    web->loadHTMLString("<body style='margin:0'><img width='20' height='400'></body>", "");
    EXPECT_TRUE(pages->calls.empty());
    driver->runPending();
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "finish"}));
    EXPECT_EQ(pages->height, "400");
    EXPECT_EQ(web->request().url, "about:blank");
    ASSERT_EQ(web->loads().size(), 1u);
    EXPECT_TRUE(web->loads()[0].isHTMLString);
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("nonsense()"), "");

    // A taller view: the page reports at least the view; a wider frame lays it out again.
    web->setFrame(Rect{5, 100, 310, 500});
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight"), "500");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth "), "310");
    EXPECT_EQ(web->scrollView()->frame(), Rect(0, 0, 310, 500));

    // Test answers: per view, for all views, and a page size.
    web->setScriptResult("document.body.scrollWidth ", "0");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth "), "0");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth"), "310");  // not the same text
    WebView::setScriptResultForAllViews("document.body.scrollHeight", "abc");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight"), "abc");
    WebView::resetForTesting();
    web->setPageSizeForTesting(Size{640, 1234});
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight"), "1234");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth"), "640");
}

TEST_F(WebViewTest, EveryLoadEndsExactlyOnce) {
    web->loadHTMLString("<p>one</p>", "");
    driver->runPending();  // the first has finished
    web->loadHTMLString("<p>two</p>", "http://h/");
    web->loadHTMLString("<p>three</p>", "http://h/");  // "two" never started: dropped quietly
    driver->runPending();
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "finish", "start", "finish"}));
    EXPECT_EQ(web->document()->textContent(), "three");

    // A load that started and is replaced fails as cancelled, once.
    WebView::setManualLoading(true);
    pages->calls.clear();
    web->loadRequest(URLRequest::requestWithURL("http://127.0.0.1:9/never"));
    driver->runPending();
    EXPECT_TRUE(web->hasPendingLoad());
    web->loadHTMLString("<p>four</p>", "");
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "fail -999"}));
    driver->runPending();
    EXPECT_TRUE(web->finishPendingLoad());
    EXPECT_FALSE(web->finishPendingLoad());
    EXPECT_EQ(pages->calls.back(), "finish");
    EXPECT_EQ(web->document()->textContent(), "four");

    // On command: a page given by the test, or a failure.
    web->loadRequest(URLRequest::requestWithURL("http://site/page"));
    driver->runPending();
    EXPECT_TRUE(web->finishPendingLoad("<p>given</p>"));
    EXPECT_EQ(web->document()->textContent(), "given");
    web->reload();
    driver->runPending();
    EXPECT_EQ(pages->types.back(), WebViewNavigationTypeReload);
    EXPECT_TRUE(web->failPendingLoad(ns::makeError(NSURLErrorDomain, URLErrorTimedOut)));
    EXPECT_EQ(pages->calls.back(), "fail -1001");
    EXPECT_FALSE(web->failPendingLoad(nullptr));
    web->stopLoading();  // nothing under way: nothing more
    EXPECT_EQ(pages->calls.back(), "fail -1001");
}

TEST_F(WebViewTest, FailuresRefusalsAndErrorPages) {
    web->loadRequest(URLRequest::requestWithURL(LoopbackService::refusedURL()));
    ASSERT_TRUE(finish());
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "fail -1004"}));
    EXPECT_EQ(pages->lastError->domain, NSURLErrorDomain);

    // An error status still shows its page.
    LoopbackService svc;
    pages->calls.clear();
    web->loadRequest(URLRequest::requestWithURL(svc.baseURL() + "/nothing-here"));
    ASSERT_TRUE(finish());
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "finish"}));

    // Schemes the web view cannot show fail, or go to the app that opens them;
    // a refused start shows nothing.
    pages->calls.clear();
    web->loadRequest(URLRequest::requestWithURL("telprompt://10086"));
    driver->runPending();
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "fail -1002"}));
    std::vector<std::string> handedBack;
    Application::sharedApplication().registerURLScheme("wx123", [&](const std::string& url) {
        handedBack.push_back(url);
        return true;
    });
    pages->calls.clear();
    web->followLink("wx123://wapoauth?code=1");
    driver->runPending();
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "fail 102"}));
    EXPECT_EQ(handedBack, (std::vector<std::string>{"wx123://wapoauth?code=1"}));
    pages->allow = false;
    pages->calls.clear();
    std::string shown = web->request().url;
    web->followLink("http://elsewhere/");
    driver->runPending();
    EXPECT_TRUE(pages->calls.empty());
    EXPECT_EQ(web->request().url, shown);
    EXPECT_EQ(pages->types.back(), WebViewNavigationTypeLinkClicked);

    // A view released with a load under way calls nobody.
    pages->allow = true;
    pages->calls.clear();
    web->loadRequest(URLRequest::requestWithURL(svc.baseURL() + "/slow"));
    web->removeFromSuperview();
    web.reset();
    driver->runPending();
    EXPECT_TRUE(pages->calls.empty());
}

// What an article body or a link from the service reached: the member's
// own files, shown as a page's pictures and pages; /dev/zero froze the screen.
TEST_F(WebViewTest, NothingAPageHoldsReachesALocalFile) {
    namespace fs = std::filesystem;
    const fs::path home = std::getenv("KL_HOME");
    const std::string photo = (home / "private-photo.jpg").string(), text = (home / "private.txt").string();
    std::ofstream(photo, std::ios::binary) << jpegPicture(200, 150);
    std::ofstream(text) << "private text";
    LoopbackService svc;
    svc.serve("/a.jpg", content(jpegPicture(40, 30), "image/jpeg"));
    const std::string remote = svc.baseURL() + "/a.jpg";
    const std::string inside = "data:image/jpeg;base64," + ns::base64Encode(jpegPicture(10, 10));
    const std::vector<std::string> local = {"file://" + photo, "file:" + photo, "FILE://" + photo, "file:///dev/zero"};

    std::string body = "<body>";
    for (const auto& src : local) body += "<img src='" + src + "'>";
    body += "<img src='" + remote + "'><img src='" + inside + "'><a href='file://" + text + "'>link</a></body>";
    web->loadHTMLString(body, "");
    ASSERT_TRUE(finish());
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "finish"}));
    for (const auto& src : local) EXPECT_EQ(web->document()->imageFor(src), nullptr) << src;
    EXPECT_TRUE(web->document()->imageFor(remote));
    EXPECT_TRUE(web->document()->imageFor(inside));
    // Nor through a base in the file system.
    web->loadHTMLString("<img src='private-photo.jpg'>", "file://" + home.string() + "/");
    ASSERT_TRUE(finish());
    EXPECT_EQ(web->document()->imageFor("file://" + photo), nullptr);

    // A local page fails as an address a web view does not load, by a link too.
    for (const std::string& url : {"file://" + text, "file:" + text, "File://localhost" + text}) {
        pages->calls.clear();
        web->loadRequest(URLRequest::requestWithURL(url));
        ASSERT_TRUE(finish()) << url;
        EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "fail -1002"})) << url;
    }
    pages->calls.clear();
    web->followLink("file://" + text);
    ASSERT_TRUE(finish());
    EXPECT_EQ(pages->calls, (std::vector<std::string>{"start", "fail -1002"}));
    EXPECT_EQ(web->document()->textContent().find("private text"), std::string::npos);
}

TEST_F(WebViewTest, APageAndItsPicturesStayWithinTheirLimits) {
    LoopbackService svc;
    // Pictures of a whole screen each (2.8 MiB decoded): eleven fit in a page.
    svc.serve("/screen.jpg", content(jpegPicture(640, 1136), "image/jpeg"));
    std::string body = "<body>";
    for (int i = 0; i < 20; ++i) body += "<img width='10' height='10' src='/screen.jpg?" + std::to_string(i) + "'>";
    // More pictures than a page fetches.
    svc.serve("/small.jpg", content(jpegPicture(4, 4), "image/jpeg"));
    for (std::size_t i = 0; i < WebView::kMaxPagePictures; ++i)
        body += "<img width='1' height='1' src='/small.jpg?" + std::to_string(i) + "'>";
    svc.serve("/page.html", content(body + "</body>", "text/html"));
    web->loadRequest(URLRequest::requestWithURL(svc.baseURL() + "/page.html"));
    ASSERT_TRUE(finish());
    int shown = 0;
    for (const auto& src : web->document()->imageSources()) shown += web->document()->imageFor(src) ? 1 : 0;
    EXPECT_EQ(shown, 11);
    EXPECT_EQ(svc.count(), 1u + 12u);  // the page, and pictures until the twelfth went over

    // A page, or a picture, larger than allowed (the picture a JPEG with 9 MB after its end).
    svc.clearRecords();
    svc.serve("/big.jpg", content(jpegPicture(40, 30) + std::string(9u << 20, '\0'), "image/jpeg"));
    svc.serve("/fine.jpg", content(jpegPicture(40, 30), "image/jpeg"));
    svc.serve("/big.html", content("<p>" + std::string(WebView::kMaxPageBytes, 'x') + "</p>", "text/html"));
    web->loadHTMLString("<img src='/big.jpg'><img src='/fine.jpg'>", svc.baseURL() + "/");
    ASSERT_TRUE(finish());
    EXPECT_EQ(web->document()->imageFor(svc.baseURL() + "/big.jpg"), nullptr);
    EXPECT_TRUE(web->document()->imageFor(svc.baseURL() + "/fine.jpg"));
    pages->calls.clear();
    web->loadRequest(URLRequest::requestWithURL(svc.baseURL() + "/big.html"));
    ASSERT_TRUE(finish());
    ASSERT_EQ(pages->calls.size(), 2u);
    EXPECT_EQ(pages->calls[1].rfind("fail", 0), 0u) << pages->calls[1];
}

}  // namespace
