#include "cases/ZCDYViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/widgets/ZCDYCell.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"
#include "uikit/Text.h"

namespace {
constexpr float kResultDelay = 0.75f;
constexpr const char* kCellIdentifier = "cell";
}  // namespace

// ---- The list ----

void ZCDYViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());
    naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
    menuButton = addMenuButton(*naview, this);

    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    const ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(kRowHeight);
    mtableview->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    root->addSubview(mtableview);

    std::weak_ptr<ZCDYViewController> weak = sharedAs<ZCDYViewController>();
    list = PagedList::create(PagedList::Config{
        .request = [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
            if (auto self = weak.lock()) client.news_request(page, pageSize, self->category_code);
        },
        .cell = [](const PagedList::Table& table, const ns::Value& record,
                   const ui::IndexPath&) -> std::shared_ptr<ui::TableViewCell> {
            auto cell = std::dynamic_pointer_cast<ZCDYCell>(table->dequeueReusableCellWithIdentifier(kCellIdentifier));
            if (!cell) cell = ui::create<ZCDYCell>(ui::TableViewCellStyleDefault, kCellIdentifier);
            cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
            cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
            cell->titleLabel->setText(records::text(record, "title"));
            cell->timeLabel->setText(ns::format("时间: %@", records::text(record, "add_time")));
            return cell;
        },
        .select = [weak](const ns::Value& record, const ui::IndexPath&) {
            auto self = weak.lock();
            if (!self) return;
            auto detail = ui::create<ZCDYDetailViewController>();
            detail->article_id = records::text(record, "id");
            if (auto nav = self->navigationController()) nav->pushViewController(detail, true);
        },
        .pageSize = "10",
        .resultDelay = kResultDelay,
        .replyLog = "",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void ZCDYViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
}

void ZCDYViewController::revealToggle() { toggleRevealOf(*this); }

std::shared_ptr<ui::BarButtonItem> ZCDYViewController::right() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{200, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("head_right.png"), ui::ControlStateNormal);
    button->addTarget(this, &ZCDYViewController::set, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void ZCDYViewController::GetWebServerContent_success(const std::string& result) { list->handleSuccess(*pp, result); }

void ZCDYViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) { list->handleFailure(*pp, error); }

// ---- One answer ----

void ZCDYDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;

    naview = ui::create<NavBarView>(ui::Rect{0, 0, w, 64});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(title());
    root->addSubview(naview);

    msrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    root->addSubview(msrview);

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
    line->setBackgroundColor(ui::Color::colorWithRed(0.89, 0.89, 0.89, 1));
    msrview->addSubview(line);

    HtmlView = ui::create<HTMLArticleView>(ui::Rect{5, 50.8, w - 10, 90});
    HtmlView->setDelegate(sharedAs<HTMLArticleViewDelegate>());
    HtmlView->setAlpha(0);
    HtmlView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    msrview->addSubview(HtmlView);

    navigationItem()->setLeftBarButtonItem(left());

    ProgressHUD::showWithTitle("", PagedList::kLoadingStatus);
    pp->news_detail_request(article_id);
}

std::shared_ptr<ui::BarButtonItem> ZCDYDetailViewController::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{5, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("ico_back.png"), ui::ControlStateNormal);
    button->addTarget(this, &ZCDYDetailViewController::back, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void ZCDYDetailViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void ZCDYDetailViewController::GetWebServerContent_success(const std::string& result) {
    loadingSuccess();
    ProgressHUD::dismissWithSuccess(PagedList::kSuccessStatus, "", kResultDelay);
    ProgressHUD::dismiss();

    ns::Value record = records::item(records::parse(result));
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

void ZCDYDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    loadingFail();
    ProgressHUD::dismissWithError(PagedList::kFailureStatus, "", kResultDelay);
    ProgressHUD::dismiss();
}

void ZCDYDetailViewController::htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>&, const ns::ErrorPtr& error) {
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

void ZCDYDetailViewController::layoutBody() {
    const double w = view()->bounds().size.width;
    auto web = HtmlView->webView();
    std::string heightText = web ? web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight") : "";
    std::string widthText = web ? web->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth ") : "";
    long long bodyWidth = ns::Value(widthText).integerValue();
    // A body that reports no width is drawn at its own scale.
    double factor = bodyWidth > 0 ? static_cast<float>(w / static_cast<double>(bodyWidth)) : 1.0;
    double height = factor * ns::Value(heightText).floatValue();
    if (height < 0) height = 0;
    ns::NSLog("bodyWidth==%f   height==%f", factor * static_cast<double>(bodyWidth), height);
    ui::Rect l = line->frame();
    HtmlView->setFrame(ui::Rect{5, l.origin.y + l.size.height, w - 10, height});
    ui::Rect b = HtmlView->frame();
    msrview->setContentSize(ui::Size{w, b.origin.y + b.size.height});
}

void ZCDYDetailViewController::htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>&, const std::string& imageUrl) {
    ns::NSLog("imageurl=%@", imageUrl);
}

void ZCDYDetailViewController::htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>&, const std::string& linkUrl) {
    ns::NSLog("linkUrl==%@", linkUrl);
}
