// The article body view: an HTML body laid out in the page template of a web
// view that fills the view.
//
//   HtmlView = ui::create<HTMLArticleView>(ui::Rect{5, 50.8, w - 10, 90});
//   HtmlView->setDelegate(sharedAs<HTMLArticleViewDelegate>());
//   HtmlView->loadHtmlBody(record["content"].text());
//   ... htmlViewDidFinishLoad:
//   HtmlView->webView()->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight");
//
// The web view stays hidden from loadHtmlBody until the body is laid out,
// with its pictures scaled down to the page width; then it shows and the
// delegate hears htmlViewDidFinishLoad with no error (or, when the load
// failed, with the error, the web view staying hidden). A touch on a picture
// sends htmlViewDidTapImage with its address; a touch on a link sends
// htmlViewDidTapLink and the view does not follow the link. The view does
// not scroll by itself: its owner sizes it to the page.
#pragma once

#include <memory>
#include <string>

#include "foundation/Error.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/View.h"
#include "uikit/WebView.h"

class HTMLArticleView;

class HTMLArticleViewDelegate {
public:
    virtual ~HTMLArticleViewDelegate() = default;
    virtual void htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                       const ns::ErrorPtr& /*error*/) {}
    virtual void htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                     const std::string& /*imageUrl*/) {}
    virtual void htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                    const std::string& /*linkUrl*/) {}
};

class HTMLArticleView : public ui::View, public ui::WebViewDelegate {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<HTMLArticleViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<HTMLArticleViewDelegate>& d) { delegate_ = d; }

    void loadHtmlBody(const std::string& body);
    std::shared_ptr<ui::WebView> webView() const { return webView_; }

    // The whole page given to the web view for a body.
    static std::string pageForBody(const std::string& body);

    void setFrame(const ui::Rect& frame) override;

    // WebViewDelegate
    bool webView_shouldStartLoadWithRequest_navigationType(const std::shared_ptr<ui::WebView>&,
                                                           const ui::URLRequest& request,
                                                           ui::WebViewNavigationType type) override;
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) override;
    void webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&, const ns::ErrorPtr& error) override;

private:
    void bodyTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    std::shared_ptr<HTMLArticleView> self() { return sharedAs<HTMLArticleView>(); }

    std::shared_ptr<ui::WebView> webView_;
    std::weak_ptr<HTMLArticleViewDelegate> delegate_;
};
