#include "uikit/WebView.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "foundation/Data.h"
#include "foundation/Dispatch.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "uikit/Application.h"
#include "uikit/Image.h"

namespace ui {

struct WebView::Load {
    int id = 0;
    URLRequest request;
    URLRequest previousRequest;
    bool isHTML = false;
    std::string html;
    std::string baseURL;
    WebViewNavigationType navigation = WebViewNavigationTypeOther;
    bool started = false;
    bool done = false;
    std::shared_ptr<net::Cancellation> cancellation = std::make_shared<net::Cancellation>();
};

struct WebView::Fetched {
    web::DocumentPtr doc;
    std::string url;
    ns::ErrorPtr error;
};

namespace {

bool& manualLoading() {
    static bool manual = false;
    return manual;
}

std::map<std::string, std::string>& globalScripts() {
    static std::map<std::string, std::string> m;
    return m;
}

std::string schemeOf(const std::string& url) {
    std::size_t colon = url.find(':');
    if (colon == std::string::npos) return {};
    return ns::asciiLowercase(url.substr(0, colon));
}

bool isRemote(const std::string& url) {
    std::string s = schemeOf(url);
    return s == "http" || s == "https";
}

ns::ErrorPtr urlError(long code, const std::string& description, const std::string& url) {
    return ns::makeError(NSURLErrorDomain, code,
                         ns::Value::dictionary({{ns::kLocalizedDescriptionKey, ns::Value(description)},
                                                {"NSErrorFailingURLStringKey", ns::Value(url)}}));
}

// The charset of a Content-Type header ("text/html; charset=gbk" -> "gbk").
std::string charsetOf(const std::string& contentType) {
    std::string lower = ns::asciiLowercase(contentType);
    std::size_t p = lower.find("charset=");
    if (p == std::string::npos) return {};
    std::string v = contentType.substr(p + 8);
    std::size_t end = v.find_first_of("; \t");
    if (end != std::string::npos) v.resize(end);
    v.erase(std::remove(v.begin(), v.end(), '"'), v.end());
    return v;
}

struct Body {
    std::string bytes;
    std::string charset;
    std::string finalURL;
    ns::ErrorPtr error;
};

// One resource by its address, at most maxBytes: http(s) through the network
// layer, data and about:blank from the address itself. Nothing else is
// reached, local files least of all. Runs on any thread.
Body fetchURL(const URLRequest& req, net::Cancellation* cancellation, std::size_t maxBytes) {
    Body b;
    b.finalURL = req.url;
    std::string scheme = schemeOf(req.url);
    if (scheme == "http" || scheme == "https") {
        net::Request r;
        r.method = req.method;
        r.url = req.url;
        r.headers = req.headers;
        r.body = req.body;
        r.timeout = req.timeoutInterval;
        r.maxResponseBytes = maxBytes;
        net::Response resp = net::perform(r, cancellation);
        switch (resp.error) {
            case net::ErrorKind::None: break;
            case net::ErrorKind::Cancelled: b.error = urlError(URLErrorCancelled, "cancelled", req.url); return b;
            case net::ErrorKind::TimedOut:
                b.error = urlError(URLErrorTimedOut, "The request timed out.", req.url);
                return b;
            case net::ErrorKind::ConnectionFailure:
                b.error = urlError(URLErrorCannotConnectToHost, "Could not connect to the server.", req.url);
                return b;
            case net::ErrorKind::Other:
                b.error = urlError(URLErrorUnknown, resp.errorMessage.empty() ? "unknown error" : resp.errorMessage,
                                   req.url);
                return b;
        }
        b.bytes = std::move(resp.body);
        b.charset = charsetOf(resp.header("Content-Type"));
        if (!resp.effectiveURL.empty()) b.finalURL = resp.effectiveURL;
        return b;
    }
    if (scheme == "about") return b;
    if (scheme == "data") {
        std::size_t comma = req.url.find(',');
        if (comma == std::string::npos) {
            b.error = urlError(URLErrorBadURL, "bad URL", req.url);
            return b;
        }
        std::string meta = ns::asciiLowercase(req.url.substr(5, comma - 5));
        std::string payload = req.url.substr(comma + 1);
        if (meta.size() >= 7 && meta.compare(meta.size() - 7, 7, ";base64") == 0) {
            auto decoded = ns::base64Decode(payload);
            if (!decoded) {
                b.error = urlError(URLErrorBadURL, "bad URL", req.url);
                return b;
            }
            b.bytes.assign(decoded->begin(), decoded->end());
        } else {
            b.bytes = ns::percentDecode(payload).value_or(payload);
        }
        return b;
    }
    b.error = urlError(URLErrorUnsupportedURL, "unsupported URL", req.url);
    return b;
}

// Pictures a page can have: from the network or inside their address.
bool isFetchablePicture(const std::string& src) { return isRemote(src) || schemeOf(src) == "data"; }

// Marks the pictures that will not be fetched as failed; true when some are
// left to fetch.
bool refuseUnfetchablePictures(web::Document& doc) {
    bool any = false;
    for (const std::string& src : doc.imageSources()) {
        if (isFetchablePicture(src))
            any = true;
        else
            doc.setImage(src, nullptr);
    }
    return any;
}

// Fetches and decodes the page's pictures, off the main thread, within the
// page's limits; the ones beyond them, or that fail, are marked as failed.
void fetchImages(const web::DocumentPtr& doc, net::Cancellation* cancellation) {
    std::size_t pictures = 0, pixelBytes = 0;
    for (const std::string& src : doc->imageSources()) {
        if (cancellation && cancellation->cancelled()) return;
        if (!isFetchablePicture(src)) continue;
        ImagePtr img;
        if (++pictures <= WebView::kMaxPagePictures && pixelBytes < WebView::kMaxPagePixelBytes) {
            Body b = fetchURL(URLRequest::requestWithURL(src), cancellation, WebView::kMaxPictureBytes);
            if (!b.error) img = Image::imageWithData(ns::Bytes(b.bytes.begin(), b.bytes.end()));
            if (img) pixelBytes += img->pixels().size();
            if (pixelBytes > WebView::kMaxPagePixelBytes) img = nullptr;
        }
        doc->setImage(src, img);
    }
}

// Addresses a web view can show itself.
bool isLoadable(const std::string& url) {
    std::string s = schemeOf(url);
    return s == "http" || s == "https" || s == "about" || s == "data";
}

// The script without blanks and a final ";".
std::string compactScript(const std::string& script) {
    std::string out;
    for (char c : script) {
        if (!std::isspace(static_cast<unsigned char>(c))) out.push_back(c);
    }
    while (!out.empty() && out.back() == ';') out.pop_back();
    return out;
}

}  // namespace

// ---- Set-up ----

WebView::~WebView() {
    if (current_ && !current_->done) current_->cancellation->cancel();
}

void WebView::init(const Rect& frame) {
    View::init(frame);
    setBackgroundColor(Color::whiteColor());
    scrollView_ = create<ScrollView>(Rect(0, 0, frame.size.width, frame.size.height));
    addSubview(scrollView_);
    request_.url = "about:blank";
}

void WebView::setFrame(const Rect& frame) {
    Size old = this->frame().size;
    View::setFrame(frame);
    if (frame.size != old) {
        scrollView_->setFrame(Rect(0, 0, frame.size.width, frame.size.height));
        relayout();
    }
}

void WebView::setBounds(const Rect& b) {
    Size old = bounds().size;
    View::setBounds(b);
    if (b.size != old) {
        scrollView_->setFrame(Rect(0, 0, b.size.width, b.size.height));
        relayout();
    }
}

void WebView::relayout() {
    if (!document_) return;
    Size s = bounds().size;
    layout_ = document_->layout(s.width, s.height);
    scrollView_->setContentSize(Size{static_cast<double>(layout_->scrollWidth()),
                                     static_cast<double>(layout_->scrollHeight())});
}

// ---- Loading ----

void WebView::loadRequest(const URLRequest& request) {
    loads_.push_back(LoadRecord{request.url, {}, false});
    auto load = std::make_shared<Load>();
    load->request = request;
    startLoad(load);
}

void WebView::loadHTMLString(const std::string& html, const std::string& baseURL) {
    loads_.push_back(LoadRecord{baseURL, html, true});
    auto load = std::make_shared<Load>();
    load->isHTML = true;
    load->html = html;
    load->baseURL = baseURL;
    load->request.url = baseURL.empty() ? "about:blank" : baseURL;
    startLoad(load);
}

void WebView::followLink(const std::string& url) {
    std::string target = web::resolveURL(documentURL_, url);
    loads_.push_back(LoadRecord{target, {}, false});
    auto load = std::make_shared<Load>();
    load->request = URLRequest::requestWithURL(target);
    load->navigation = WebViewNavigationTypeLinkClicked;
    startLoad(load);
}

void WebView::reload() {
    auto load = std::make_shared<Load>();
    if (!loads_.empty() && loads_.back().isHTMLString) {
        load->isHTML = true;
        load->html = loads_.back().html;
        load->baseURL = loads_.back().url;
    }
    load->request = request_;
    load->navigation = WebViewNavigationTypeReload;
    startLoad(load);
}

void WebView::stopLoading() { cancelCurrent(); }

bool WebView::isLoading() const { return current_ && !current_->done; }

bool WebView::hasPendingLoad() const { return current_ && current_->started && !current_->done; }

void WebView::cancelCurrent() {
    auto load = current_;
    if (!load || load->done) return;
    load->done = true;
    load->cancellation->cancel();
    if (load->started) {
        auto keep = self();
        if (auto d = delegate()) d->webView_didFailLoadWithError(keep, urlError(URLErrorCancelled, "cancelled", load->request.url));
    } else {
        request_ = load->previousRequest;
    }
}

void WebView::startLoad(std::shared_ptr<Load> load) {
    cancelCurrent();
    load->id = nextLoadId_++;
    load->previousRequest = request_;
    current_ = load;
    request_ = load->request;
    std::weak_ptr<WebView> weak = self();
    ns::RunLoop::main().post([weak, load] {
        if (auto wv = weak.lock()) wv->beginLoad(load);
    });
}

void WebView::beginLoad(const std::shared_ptr<Load>& load) {
    if (load != current_ || load->done) return;
    auto keep = self();
    if (auto d = delegate()) {
        if (!d->webView_shouldStartLoadWithRequest_navigationType(keep, load->request, load->navigation)) {
            load->done = true;
            request_ = load->previousRequest;
            return;
        }
    }
    load->started = true;
    if (auto d = delegate()) d->webViewDidStartLoad(keep);
    if (load != current_ || load->done) return;
    // Tests hold the loads of pages; another app's address still goes to it.
    if (manualLoading() && (load->isHTML || isLoadable(load->request.url))) return;
    fetch(load);
}

void WebView::fetch(const std::shared_ptr<Load>& load) {
    std::weak_ptr<WebView> weak = self();
    if (!load->isHTML && !isLoadable(load->request.url)) {
        // Another app's address (or the dialler's): the system opens it and
        // the frame load ends there.
        auto& app = Application::sharedApplication();
        if (app.canOpenURL(load->request.url)) {
            app.openURL(load->request.url);
            failLoad(load, ns::makeError(WebKitErrorDomain, WebKitErrorFrameLoadInterrupted,
                                         ns::Value::dictionary({{ns::kLocalizedDescriptionKey,
                                                                 ns::Value("Frame load interrupted")}})));
            return;
        }
    }
    auto deliver = [weak, load](Fetched f) {
        ns::RunLoop::main().post([weak, load, f = std::move(f)]() mutable {
            if (auto wv = weak.lock()) wv->completeLoad(load, std::move(f));
        });
    };
    if (load->isHTML || !isRemote(load->request.url)) {
        // The page is at hand (a text, about: or data:); its pictures, if it
        // has any to fetch, come on another thread.
        Fetched f;
        if (load->isHTML) {
            f.url = load->baseURL;
            f.doc = web::Document::parseHTML(load->html, load->baseURL);
        } else {
            Body b = fetchURL(load->request, load->cancellation.get(), kMaxPageBytes);
            if (b.error) {
                f.error = b.error;
                deliver(std::move(f));
                return;
            }
            f.url = b.finalURL;
            f.doc = web::Document::parseHTML(b.bytes, b.finalURL, b.charset);
        }
        if (!refuseUnfetchablePictures(*f.doc)) {
            deliver(std::move(f));
            return;
        }
        ns::globalQueue().async([deliver, load, f = std::move(f)]() mutable {
            fetchImages(f.doc, load->cancellation.get());
            deliver(std::move(f));
        });
        return;
    }
    URLRequest request = load->request;
    ns::globalQueue().async([deliver, load, request] {
        Fetched f;
        Body b = fetchURL(request, load->cancellation.get(), kMaxPageBytes);
        if (b.error) {
            f.error = b.error;
        } else {
            f.url = b.finalURL;
            f.doc = web::Document::parseHTML(b.bytes, b.finalURL, b.charset);
            refuseUnfetchablePictures(*f.doc);
            fetchImages(f.doc, load->cancellation.get());
        }
        deliver(std::move(f));
    });
}

void WebView::completeLoad(const std::shared_ptr<Load>& load, Fetched f) {
    if (load != current_ || load->done) return;
    if (f.error) {
        failLoad(load, f.error);
        return;
    }
    load->done = true;
    auto keep = self();
    document_ = f.doc;
    documentURL_ = f.url.empty() ? load->request.url : f.url;
    relayout();
    scrollView_->setContentOffset(Point{0, 0});
    if (auto d = delegate()) d->webViewDidFinishLoad(keep);
}

void WebView::failLoad(const std::shared_ptr<Load>& load, const ns::ErrorPtr& error) {
    if (load->done) return;
    load->done = true;
    auto keep = self();
    if (auto d = delegate()) d->webView_didFailLoadWithError(keep, error);
}

bool WebView::finishPendingLoad(const std::optional<std::string>& html) {
    if (!hasPendingLoad()) return false;
    auto load = current_;
    Fetched f;
    f.url = load->isHTML ? load->baseURL : load->request.url;
    std::string page = html ? *html : (load->isHTML ? load->html : std::string());
    f.doc = web::Document::parseHTML(page, f.url);
    refuseUnfetchablePictures(*f.doc);
    completeLoad(load, std::move(f));
    return true;
}

bool WebView::failPendingLoad(const ns::ErrorPtr& error) {
    if (!hasPendingLoad()) return false;
    failLoad(current_, error ? error : urlError(URLErrorUnknown, "unknown error", current_->request.url));
    return true;
}

// ---- Scripts and touches ----

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    if (auto it = scriptResults_.find(script); it != scriptResults_.end()) return it->second;
    if (auto it = globalScripts().find(script); it != globalScripts().end()) return it->second;
    if (pageSize_) {
        std::string c = compactScript(script);
        if (c == "document.body.scrollHeight" || c == "document.documentElement.scrollHeight") {
            return std::to_string(std::lround(pageSize_->height));
        }
        if (c == "document.body.scrollWidth" || c == "document.documentElement.scrollWidth") {
            return std::to_string(std::lround(pageSize_->width));
        }
    }
    return web::evaluateScript(script, document_.get(), pageLayout(), documentURL_.empty() ? request_.url : documentURL_);
}

web::Hit WebView::elementAtPoint(Point point) const {
    if (!layout_) return {};
    Point o = scrollView_->contentOffset();
    return layout_->hitTest(Point{point.x + o.x, point.y + o.y});
}

void WebView::touchesEnded(const TouchSet& touches, Event* event) {
    auto touch = touches.anyObject();
    if (touch && !scrollView_->isDragging()) {
        web::Hit hit = elementAtPoint(touch->locationInView(this));
        if (hit.isLink()) {
            followLink(hit.linkURL);
            return;
        }
    }
    View::touchesEnded(touches, event);
}

std::string WebView::debugText() const { return request_.url == "about:blank" ? std::string() : request_.url; }

// ---- Test settings ----

void WebView::setScriptResultForAllViews(const std::string& script, const std::string& answer) {
    globalScripts()[script] = answer;
}

void WebView::setManualLoading(bool manual) { manualLoading() = manual; }

void WebView::resetForTesting() {
    manualLoading() = false;
    globalScripts().clear();
}

}  // namespace ui
