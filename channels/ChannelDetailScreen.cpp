#include "channels/ChannelDetailScreen.h"

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "channels/ArticlePage.h"
#include "channels/ChannelStyle.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"
#include "uikit/Text.h"

void ChannelDetailScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(behaviour().title);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    auto page = buildArticlePage(*view(), title(), sharedAs<NavBarViewDelegate>(), h - 64);
    naview = page.naview;
    msrview = page.msrview;
    titleLabel = page.titleLabel;
    timeLabel = page.timeLabel;
    line = page.line;

    HtmlView = ui::create<HTMLArticleView>(ui::Rect{5, 50.8, w - 10, 90});
    HtmlView->setDelegate(sharedAs<HTMLArticleViewDelegate>());
    HtmlView->setAlpha(0);
    HtmlView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    msrview->addSubview(HtmlView);

    view()->setBackgroundColor(ui::Color::whiteColor());
    navigationItem()->setLeftBarButtonItem(left());

    ProgressHUD::showWithTitle("", channelstyle::kLoadingText);
    loading_ = true;
    pp->news_detail_request(article_id);
}

void ChannelDetailScreen::viewWillDisappear(bool animated) {
    SystemViewController::viewWillDisappear(animated);
    if (!loading_) return;
    loading_ = false;
    ProgressHUD::dismiss();
}

void ChannelDetailScreen::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

std::shared_ptr<ui::BarButtonItem> ChannelDetailScreen::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{5, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("ico_back.png"), ui::ControlStateNormal);
    button->addTarget(this, &ChannelDetailScreen::back, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void ChannelDetailScreen::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void ChannelDetailScreen::GetWebServerContent_success(const std::string& result) {
    loading_ = false;
    if (behaviour().showsResult) ProgressHUD::dismissWithSuccess("加载成功！", "", kResultDelay);
    ProgressHUD::dismiss();

    ns::Value record = records::item(records::parse(result));
    if (record.count() == 0) return;  // no article: the page stays empty
    const std::string titleText = records::text(record, "title");
    const double w = view()->bounds().size.width;
    ui::Size titleSize = ui::sizeWithFont(titleText, ui::Font::boldSystemFontOfSize(16), ui::Size{w - 10, 500},
                                          ui::LineBreakByCharWrapping);
    titleLabel->setText(titleText);
    titleLabel->setFrame(ui::Rect{5, 5, titleSize.width, titleSize.height});
    timeLabel->setText(ns::format("%@ %@", "时间:", records::text(record, "add_time")));
    timeLabel->setFrame(ui::Rect{5, titleSize.height + 10, 200, 15});
    ui::Rect t = timeLabel->frame();
    line->setFrame(ui::Rect{5, t.origin.y + t.size.height + 10, w - 10, 0.8});
    HtmlView->loadHtmlBody(records::text(record, "content"));
}

void ChannelDetailScreen::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    loading_ = false;
    ProgressHUD::dismissWithError(channelstyle::kLoadFailedText, "", kResultDelay);
    ProgressHUD::dismiss();
}

void ChannelDetailScreen::htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                                const ns::ErrorPtr& error) {
    if (error) {
        HtmlView->setAlpha(0);
        ns::NSLog("有error");
        return;
    }
    ns::NSLog("没有error");
    ui::View::animateWithDuration(kFadeDuration, [this] {
        HtmlView->setAlpha(1);
        layoutBody();
    });
}

void ChannelDetailScreen::layoutBody() {
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

void ChannelDetailScreen::htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                              const std::string& imageUrl) {
    const Behaviour b = behaviour();
    ns::NSLog(b.imageLog, imageUrl);
    if (b.imageShowsPicture) showPicture(imageUrl);
}

void ChannelDetailScreen::htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                             const std::string& linkUrl) {
    ns::NSLog("linkUrl==%@", linkUrl);
    if (behaviour().linkShowsPicture) showPicture(linkUrl);
}

void ChannelDetailScreen::showPicture(const std::string& url) {
    // One picture at a time: the one shown before goes, so a tap always
    // uncovers the page.
    if (BigImagev) BigImagev->removeFromSuperview();
    const ui::Rect bounds = view()->bounds();
    BigImagev = ui::create<ui::ImageView>(ui::Rect{0, 64, bounds.size.width, bounds.size.height - 64});
    BigImagev->setUserInteractionEnabled(true);
    BigImagev->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &ChannelDetailScreen::disBigview));
    view()->addSubview(BigImagev);
    setImageWithURL(BigImagev, url);
}

void ChannelDetailScreen::disBigview() {
    if (!BigImagev) return;
    BigImagev->removeFromSuperview();
    BigImagev.reset();
}
