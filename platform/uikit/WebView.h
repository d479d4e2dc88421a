// Web views: pages loaded from an address (through the network layer) or
// from an HTML text, laid out by the page model (WebDocument.h), scrolled by
// the web view's own scroll view, which is its first subview.
//
//   web = ui::create<ui::WebView>(ui::Rect{5, y, w - 10, 90});
//   web->setDelegate(sharedAs<ui::WebViewDelegate>());
//   web->scrollView()->setScrollEnabled(false);
//   web->loadHTMLString(body, "");                                   // nil base
//   web->loadRequest(ui::URLRequest::requestWithURL(address));
//   ... webViewDidFinishLoad:
//   double h = ns::Value(web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight")).floatValue();
//
// Every load is answered on later turns of the main run loop: the delegate
// is asked webView_shouldStartLoadWithRequest_navigationType, then hears
// webViewDidStartLoad and, exactly once, webViewDidFinishLoad or
// webView_didFailLoadWithError. A page's pictures are fetched with it and
// count in its size. A new load (or stopLoading) ends the one under way with
// the error NSURLErrorDomain -999 (cancelled). HTTP error statuses still
// show their page and finish. A tap on a link loads it in place, with the
// same callbacks (navigation type "link clicked"). An address of another
// scheme that the application can open (an app's own scheme, "telprompt")
// is handed to Application::openURL, and the load fails with
// WebKitErrorDomain 102 (frame load interrupted); other schemes fail with
// NSURLErrorDomain -1002.
//
// What a page reaches: http and https only (and data: addresses, which hold
// their own bytes). A file: address, whether a page, a picture or a link and
// whoever gave it, reaches nothing: the page fails with -1002, the picture
// fails. A page is at most kMaxPageBytes; its pictures are fetched and
// decoded off the main thread, each at most kMaxPictureBytes, the first
// kMaxPagePictures of them and while their decoded pixels stay within
// kMaxPagePixelBytes; the others fail.
//
// Tests: loads are recorded (loads()); setManualLoading(true) holds every
// load of a page after its start until finishPendingLoad or failPendingLoad; script
// answers and the page size can be set per view or for every view.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "net/Http.h"
#include "uikit/ScrollView.h"
#include "uikit/View.h"
#include "uikit/WebDocument.h"

namespace ui {

class WebView;

// NSURLRequest: what to load.
struct URLRequest {
    std::string url;
    std::string method = "GET";
    net::Headers headers;
    std::string body;
    double timeoutInterval = 60;

    static URLRequest requestWithURL(const std::string& url) {
        URLRequest r;
        r.url = url;
        return r;
    }
};

enum WebViewNavigationType {
    WebViewNavigationTypeLinkClicked = 0,
    WebViewNavigationTypeFormSubmitted,
    WebViewNavigationTypeBackForward,
    WebViewNavigationTypeReload,
    WebViewNavigationTypeFormResubmitted,
    WebViewNavigationTypeOther,
};

inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";
enum URLErrorCode : long {
    URLErrorUnknown = -1,
    URLErrorCancelled = -999,
    URLErrorBadURL = -1000,
    URLErrorTimedOut = -1001,
    URLErrorUnsupportedURL = -1002,
    URLErrorCannotConnectToHost = -1004,
    URLErrorFileDoesNotExist = -1100,
};

inline constexpr const char* WebKitErrorDomain = "WebKitErrorDomain";
inline constexpr long WebKitErrorFrameLoadInterrupted = 102;

class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    virtual bool webView_shouldStartLoadWithRequest_navigationType(const std::shared_ptr<WebView>&, const URLRequest&,
                                                                   WebViewNavigationType) {
        return true;
    }
    virtual void webViewDidStartLoad(const std::shared_ptr<WebView>&) {}
    virtual void webViewDidFinishLoad(const std::shared_ptr<WebView>&) {}
    virtual void webView_didFailLoadWithError(const std::shared_ptr<WebView>&, const ns::ErrorPtr&) {}
};

class WebView : public View {
public:
    static constexpr std::size_t kMaxPageBytes = 8u * 1024u * 1024u;
    static constexpr std::size_t kMaxPictureBytes = 8u * 1024u * 1024u;
    static constexpr std::size_t kMaxPagePictures = 100;
    static constexpr std::size_t kMaxPagePixelBytes = 32u * 1024u * 1024u;  // some 11 screens

    ~WebView() override;
    void init(const Rect& frame) override;

    std::shared_ptr<ScrollView> scrollView() const { return scrollView_; }
    std::shared_ptr<WebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<WebViewDelegate>& d) { delegate_ = d; }
    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool s) { scalesPageToFit_ = s; }

    // ---- Loading ----
    void loadRequest(const URLRequest& request);
    // An empty base stands for nil.
    void loadHTMLString(const std::string& html, const std::string& baseURL);
    void stopLoading();
    void reload();
    bool isLoading() const;
    // The request of the page shown or being loaded ("about:blank" for HTML
    // text without a base).
    const URLRequest& request() const { return request_; }

    // ---- The page ----
    // Answers are text, as from the page's scripts ("" when unknown).
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);
    web::DocumentPtr document() const { return document_; }
    const web::PageLayout* pageLayout() const { return layout_ ? &*layout_ : nullptr; }
    // The link and picture under a point of this view.
    web::Hit elementAtPoint(Point point) const;

    void setFrame(const Rect& frame) override;
    void setBounds(const Rect& bounds) override;
    // A tap (a touch that ends without dragging) on a link follows it.
    void touchesEnded(const TouchSet& touches, Event* event) override;
    std::string debugText() const override;

    // ---- Tests ----
    struct LoadRecord {
        std::string url;      // the request's address, or the base of an HTML text
        std::string html;     // the text, for loadHTMLString
        bool isHTMLString = false;
    };
    const std::vector<LoadRecord>& loads() const { return loads_; }
    // A user's tap on a link to this address (whether or not the page shows it).
    void followLink(const std::string& url);
    // A fixed answer for a script, exactly as written (per view, then for every view).
    void setScriptResult(const std::string& script, const std::string& answer) { scriptResults_[script] = answer; }
    static void setScriptResultForAllViews(const std::string& script, const std::string& answer);
    // Answers the page-size scripts from this size instead of the layout.
    void setPageSizeForTesting(std::optional<Size> size) { pageSize_ = size; }
    // While on, loads of pages wait after their start for finishPendingLoad or
    // failPendingLoad (an address that another app opens still goes to it).
    static void setManualLoading(bool manual);
    bool hasPendingLoad() const;
    // Completes the held load with this page (or, for an HTML text, its own).
    bool finishPendingLoad(const std::optional<std::string>& html = std::nullopt);
    bool failPendingLoad(const ns::ErrorPtr& error);
    static void resetForTesting();

    struct Load;
    struct Fetched;

private:
    std::shared_ptr<WebView> self() { return sharedAs<WebView>(); }
    void startLoad(std::shared_ptr<Load> load);
    void beginLoad(const std::shared_ptr<Load>& load);
    void fetch(const std::shared_ptr<Load>& load);
    void completeLoad(const std::shared_ptr<Load>& load, Fetched result);
    void failLoad(const std::shared_ptr<Load>& load, const ns::ErrorPtr& error);
    void cancelCurrent();
    void relayout();

    std::shared_ptr<ScrollView> scrollView_;
    std::weak_ptr<WebViewDelegate> delegate_;
    bool scalesPageToFit_ = false;
    URLRequest request_;
    std::shared_ptr<Load> current_;
    web::DocumentPtr document_;
    std::string documentURL_;
    std::optional<web::PageLayout> layout_;
    std::vector<LoadRecord> loads_;
    std::map<std::string, std::string> scriptResults_;
    std::optional<Size> pageSize_;
    int nextLoadId_ = 1;
};

using WebViewPtr = std::shared_ptr<WebView>;

}  // namespace ui
