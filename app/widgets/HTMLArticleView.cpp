#include "app/widgets/HTMLArticleView.h"

namespace {

// The page around an article body: the device's width, a readable size, and
// pictures, tables and long words no wider than the page.
constexpr const char* kPageHead =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0, user-scalable=no\">"
    "<style>"
    "body { margin: 0; padding: 0; font-size: 15px; color: #333333; word-wrap: break-word; }"
    "p { margin: 0 0 8px 0; }"
    "img { max-width: 100%; }"
    "table { max-width: 100%; }"
    "</style></head><body>";
constexpr const char* kPageTail = "</body></html>";

}  // namespace

void HTMLArticleView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::clearColor());
    webView_ = ui::create<ui::WebView>(bounds());
    webView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    webView_->setBackgroundColor(ui::Color::clearColor());
    webView_->setOpaque(false);
    webView_->scrollView()->setScrollEnabled(false);
    webView_->setDelegate(sharedAs<ui::WebViewDelegate>());
    webView_->setHidden(true);
    addSubview(webView_);
    // Touches on the body are read here: pictures and links go to the delegate.
    addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &HTMLArticleView::bodyTapped));
}

void HTMLArticleView::setFrame(const ui::Rect& frame) {
    ui::View::setFrame(frame);
    if (webView_) webView_->setFrame(bounds());
}

std::string HTMLArticleView::pageForBody(const std::string& body) {
    return std::string(kPageHead) + body + kPageTail;
}

void HTMLArticleView::loadHtmlBody(const std::string& body) {
    webView_->setHidden(true);
    webView_->loadHTMLString(pageForBody(body), "");
}

bool HTMLArticleView::webView_shouldStartLoadWithRequest_navigationType(const std::shared_ptr<ui::WebView>&,
                                                                        const ui::URLRequest& request,
                                                                        ui::WebViewNavigationType type) {
    if (type != ui::WebViewNavigationTypeLinkClicked) return true;
    // The article stays: its owner decides what a link opens.
    if (auto d = delegate()) d->htmlViewDidTapLink(self(), request.url);
    return false;
}

void HTMLArticleView::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) {
    webView_->setHidden(false);
    if (auto d = delegate()) d->htmlViewDidFinishLoad(self(), nullptr);
}

void HTMLArticleView::webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&, const ns::ErrorPtr& error) {
    // A load replaced by a newer one reports nothing: the newer one will.
    if (error && error->domain == ui::NSURLErrorDomain && error->code == ui::URLErrorCancelled) return;
    if (auto d = delegate()) d->htmlViewDidFinishLoad(self(), error);
}

void HTMLArticleView::bodyTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer) {
    if (!recognizer || webView_->isHidden()) return;
    ui::web::Hit hit = webView_->elementAtPoint(recognizer->locationInView(webView_.get()));
    auto d = delegate();
    if (!d) return;
    if (hit.isImage()) {
        d->htmlViewDidTapImage(self(), hit.imageURL);
    } else if (hit.isLink()) {
        d->htmlViewDidTapLink(self(), hit.linkURL);
    }
}
