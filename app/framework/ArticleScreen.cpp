#include "app/framework/ArticleScreen.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "uikit/Button.h"
#include "uikit/Font.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"
#include "uikit/Text.h"

namespace {

constexpr const char* kLoadingText = "加载中...";
constexpr const char* kSuccessText = "加载成功！";
constexpr const char* kFailureText = "加载失败！";
constexpr ui::Color kRuleColor = ui::Color::colorWithRed(0.89, 0.89, 0.89, 1);
constexpr double kBodyTop = 50.8;

}  // namespace

void ArticleScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    const Page p = page();
    setTitle(p.title);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    view()->setBackgroundColor(ui::Color::whiteColor());

    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    naview = makeBackNavBar(*this);

    msrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64 - (p.footBar ? kFootBarHeight : 0)});
    view()->addSubview(msrview);

    titleLabel = ui::create<ui::Label>(ui::Rect{5, 0, w - 10, 20});
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(16));
    titleLabel->setNumberOfLines(0);
    titleLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    msrview->addSubview(titleLabel);

    timeLabel = ui::create<ui::Label>(ui::Rect{5, 30, w - 10, 15});
    timeLabel->setFont(ui::Font::systemFontOfSize(12));
    timeLabel->setTextColor(ui::Color::lightGrayColor());
    msrview->addSubview(timeLabel);

    line = ui::create<ui::View>(ui::Rect{5, 50, w - 10, 0.8});
    line->setBackgroundColor(kRuleColor);
    msrview->addSubview(line);

    if (p.htmlBody) {
        HtmlView = ui::create<HTMLArticleView>(ui::Rect{5, kBodyTop, w - 10, 90});
        HtmlView->setDelegate(sharedAs<HTMLArticleViewDelegate>());
        HtmlView->setAlpha(0);
        HtmlView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        msrview->addSubview(HtmlView);
    } else {
        mwebview = ui::create<ui::WebView>(ui::Rect{5, kBodyTop, w - 10, 90});
        mwebview->setDelegate(sharedAs<ui::WebViewDelegate>());
        mwebview->scrollView()->setScrollEnabled(false);
        mwebview->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        msrview->addSubview(mwebview);
    }

    navigationItem()->setLeftBarButtonItem(left());
    showProgress(kLoadingText);
    pp->news_detail_request(article_id);
}

void ArticleScreen::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

std::shared_ptr<ui::BarButtonItem> ArticleScreen::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{5, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("ico_back.png"), ui::ControlStateNormal);
    button->addTarget(this, &ArticleScreen::back, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

// ---- The record ----

void ArticleScreen::GetWebServerContent_success(const std::string& result) { articleReplied(result); }

void ArticleScreen::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) { articleFailed(); }

void ArticleScreen::articleReplied(const std::string& result) {
    const Page p = page();
    loadingSuccess();
    if (p.showsResult) ProgressHUD::dismissWithSuccess(kSuccessText, "", kResultDelay);
    ProgressHUD::dismiss();
    if (*p.replyLog) ns::NSLog(p.replyLog, result);

    ns::Value record = records::item(records::parse(result));
    if (p.keepsEmptyPage && record.count() == 0) return;
    layoutHeading(record);
    articleShown(record);
}

void ArticleScreen::articleFailed() {
    loadingFail();
    ProgressHUD::dismissWithError(kFailureText, "", kResultDelay);
    ProgressHUD::dismiss();
}

void ArticleScreen::layoutHeading(const ns::Value& record) {
    const Page p = page();
    const ns::SharedText titleText = records::sharedText(record, "title");
    const double w = view()->bounds().size.width;
    ui::Size titleSize = ui::sizeWithFont(titleText, ui::Font::boldSystemFontOfSize(16), ui::Size{w - 10, 500},
                                          ui::LineBreakByCharWrapping);
    titleLabel->setText(titleText);
    titleLabel->setFrame(ui::Rect{5, 5, titleSize.width, titleSize.height});
    const std::string time = records::text(record, "add_time");
    timeLabel->setText(p.authorLine ? ns::format("%@ %@", records::text(record, "user_name"), time)
                                    : ns::format("%@ %@", "时间:", time));
    timeLabel->setFrame(ui::Rect{5, titleSize.height + 10, 200, 15});
    ui::Rect t = timeLabel->frame();
    line->setFrame(ui::Rect{5, t.origin.y + t.size.height + 10, w - 10, 0.8});
    const std::string content = records::text(record, "content");
    if (HtmlView) {
        HtmlView->loadHtmlBody(content);
    } else {
        mwebview->loadHTMLString(content, "");
    }
}

// ---- The body ----

void ArticleScreen::htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                          const ns::ErrorPtr& error) {
    if (error) {
        HtmlView->setAlpha(0);
        ns::NSLog("有error");
        return;
    }
    ns::NSLog("没有error");
    ui::View::animateWithDuration(kFadeDuration, [this] {
        HtmlView->setAlpha(1);
        layoutHtmlBody();
    });
}

void ArticleScreen::layoutHtmlBody() {
    const double w = view()->bounds().size.width;
    auto web = HtmlView->webView();
    std::string heightText = web ? web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight") : "";
    std::string widthText = web ? web->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth ") : "";
    long long bodyWidth = ns::Value(widthText).integerValue();
    // A page that reports no width is drawn at its own scale.
    double factor = bodyWidth > 0 ? w / static_cast<double>(bodyWidth) : 1.0;
    double height = factor * ns::Value(heightText).floatValue();
    if (height < 0) height = 0;
    ns::NSLog("bodyWidth==%f   height==%f", factor * static_cast<double>(bodyWidth), height);
    ui::Rect l = line->frame();
    HtmlView->setFrame(ui::Rect{5, l.origin.y + l.size.height, w - 10, height});
    ui::Rect b = HtmlView->frame();
    msrview->setContentSize(ui::Size{w, b.origin.y + b.size.height});
}

void ArticleScreen::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& /*webView*/) {
    if (!mwebview) return;
    const double w = view()->bounds().size.width;
    double height = ns::Value(mwebview->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight")).floatValue();
    if (height < 0) height = 0;
    ui::Rect l = line->frame();
    mwebview->setFrame(ui::Rect{5, l.origin.y + l.size.height, w - 10, height});
    ui::Rect b = mwebview->frame();
    msrview->setContentSize(ui::Size{w, plainBodyLaidOut(b.origin.y + b.size.height)});
}

// ---- Pictures and links in the body ----

void ArticleScreen::htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                        const std::string& imageUrl) {
    const Page p = page();
    ns::NSLog(p.imageLog, imageUrl);
    if (p.picturesCover) showPicture(imageUrl);
}

void ArticleScreen::htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& /*view*/, const std::string& linkUrl) {
    ns::NSLog("linkUrl==%@", linkUrl);
    if (page().linksCover) showPicture(linkUrl);
}

void ArticleScreen::showPicture(const std::string& url) {
    // One picture at a time: the one shown before goes, so a tap always
    // uncovers the page.
    if (BigImagev) BigImagev->removeFromSuperview();
    const ui::Rect bounds = view()->bounds();
    BigImagev = ui::create<ui::ImageView>(ui::Rect{0, 64, bounds.size.width, bounds.size.height - 64});
    BigImagev->setUserInteractionEnabled(true);
    BigImagev->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &ArticleScreen::disBigview));
    view()->addSubview(BigImagev);
    setImageWithURL(BigImagev, url);
}

void ArticleScreen::disBigview() {
    if (!BigImagev) return;
    BigImagev->removeFromSuperview();
    BigImagev.reset();
}
