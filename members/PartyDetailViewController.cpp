#include "members/PartyDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "foundation/Log.h"
#include "uikit/Application.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"
#include "uikit/Window.h"

namespace {

constexpr const char* kRecordOperation = "GetRetailerRecord";
constexpr const char* kCommentOperation = "GetRetailerComment";
constexpr const char* kContactOperation = "SubmitRetailerContact";
constexpr double kBodyTop = 302;

std::shared_ptr<ui::Label> makeLabel(ui::View& parent, const ui::Rect& frame, double size, ui::Color color) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(size));
    label->setTextColor(color);
    label->setBackgroundColor(ui::Color::clearColor());
    parent.addSubview(label);
    return label;
}

}  // namespace

PartyDetailViewController::~PartyDetailViewController() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void PartyDetailViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    auto root = view();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;
    root->setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    naview = makeBackNavBar(*this, kTitle);

    rootScrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    root->addSubview(rootScrview);
    auto& page = *rootScrview;

    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 0, w, 150});
    mscrview->setShowsHorizontalScrollIndicator(false);
    page.addSubview(mscrview);
    _pageControl = ui::create<ui::PageControl>(ui::Rect{0, 125, w, 20});
    _pageControl->setCurrentPage(0);
    _pageControl->setPageIndicatorTintColor(ui::Color::lightGrayColor());
    _pageControl->setCurrentPageIndicatorTintColor(ui::Color::colorWithRed(0.09, 0.58, 0.9, 1));
    page.addSubview(_pageControl);

    titleLabel = makeLabel(page, ui::Rect{5, 150, 260, 30}, 14, ui::Color::blackColor());
    titleLabel->setNumberOfLines(0);
    titleLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    priceLabel = makeLabel(page, ui::Rect{5, 185, 160, 20}, 14, ui::Color::redColor());
    const ui::Color grey = ui::Color::lightGrayColor();
    countLabel = makeLabel(page, ui::Rect{160, 185, 160, 20}, 12, grey);
    clickNumLabel = makeLabel(page, ui::Rect{5, 210, 160, 20}, 12, grey);
    lever_mesgLabel = makeLabel(page, ui::Rect{160, 210, 160, 20}, 12, grey);
    product_addressLabel = makeLabel(page, ui::Rect{5, 235, w - 10, 20}, 12, grey);

    tellButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    tellButton->setFrame(ui::Rect{w - 40, 185, 20, 20});
    tellButton->setBackgroundImage(ui::Image::imageNamed("tell.png"), ui::ControlStateNormal);
    tellButton->addTarget(this, &PartyDetailViewController::tell, ui::ControlEventTouchUpInside);
    page.addSubview(tellButton);
    tellLabel = makeLabel(page, ui::Rect{w - 60, 205, 160, 20}, 12, ui::Color::blackColor());
    tellLabel->setText("点击查看");

    auto makeTab = [&](const char* title, double x, int tag, ui::Color color) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{x, 260, w / 2, 40});
        b->setTitle(title, ui::ControlStateNormal);
        b->setTitleColor(color, ui::ControlStateNormal);
        b->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
        b->setTag(tag);
        page.addSubview(b);
        return b;
    };
    detailButton = makeTab("详情", 0, 100, ui::Color::redColor());
    detailButton->addTarget(this, &PartyDetailViewController::detailTouched, ui::ControlEventTouchUpInside);
    Level_MsgButton = makeTab("留言", w / 2, 101, ui::Color::blackColor());
    Level_MsgButton->addTarget(this, &PartyDetailViewController::messagesTouched, ui::ControlEventTouchUpInside);

    scrview = ui::create<ui::View>(ui::Rect{0, 300, w / 2, 2});
    scrview->setBackgroundColor(ui::Color::redColor());
    page.addSubview(scrview);

    mwebview = ui::create<ui::WebView>(ui::Rect{0, kBodyTop, w, h - kBodyTop});
    mwebview->setDelegate(sharedAs<ui::WebViewDelegate>());
    page.addSubview(mwebview);

    const ui::Rect screen = ui::Screen::mainScreen().bounds();
    partycommentview = ui::create<PartyCommentView>(
        ui::Rect{0, kBodyTop, screen.size.width, screen.size.height - kBodyTop}, sharedAs<ui::ViewController>());
    partycommentview->partyID = partyID;
    partycommentview->userType = userType;
    partycommentview->userID = userID;
    partycommentview->setHidden(true);
    page.addSubview(partycommentview);

    ns::NotificationCenter::defaultCenter().addObserver(sharedAs<PartyDetailViewController>(),
                                                        PartyCommentView::kReloadNotification,
                                                        &PartyDetailViewController::reloadPartyMessage);

    showProgress("加载中...");
    requestType = kDetailRequest;
    pp->GetRetailerRecord(partyID);
}

void PartyDetailViewController::requestComments() {
    requestType = kCommentsRequest;
    pp->GetRetailerComment(partyID, userID, userType);
}

void PartyDetailViewController::reloadPartyMessage(const ns::Notification&) { requestComments(); }

// ---- Replies ----

void PartyDetailViewController::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    const std::string& operation = pp->replyOperation();
    if (operation == kRecordOperation) {
        ns::NSLog("详情resonse===%@", result);
        ns::Value record = records::object(records::parse(result), "records");
        ns::Value albums = records::array(record, "albums");
        if (albums.count() == 0 && record["albums"].isArray()) {
            albums.push(ns::Value::dictionary({{"original_path", records::text(record, "product_img")}}));
        }
        advertisingViewLoadingwidth(albums);
        titleLabel->setText(records::text(record, "product_title"));
        priceLabel->setText("￥" + records::text(record, "product_price"));
        countLabel->setText("数量:" + records::text(record, "product_number"));
        product_addressLabel->setText("产地:" + records::text(record, "product_address"));
        lever_mesgLabel->setText("留言:" + records::text(record, "comment_count"));
        clickNumLabel->setText("点击量:" + records::text(record, "click_num"));
        contact_phone = records::text(record, "contact_phone");
        mwebview->loadHTMLString(records::text(record, "product_content"), "");
        requestComments();
    } else if (operation == kContactOperation) {
        ns::NSLog("拨打电话resonse===%@", result);
    } else if (operation == kCommentOperation) {
        ns::NSLog("评论列表resonse===%@", result);
        ns::Value reply = records::parse(result);
        partycommentview->setCommentArray(records::array(reply, "records"));
        lever_mesgLabel->setText("留言:" + records::text(reply, "comment_count"));
        // The rows must be the messages a reply or a deletion is read from,
        // whatever the answer's state.
        partycommentview->commenttableview->reloadData();
    }
}

void PartyDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) { ProgressHUD::dismiss(); }

// ---- Pictures ----

void PartyDetailViewController::advertisingViewLoadingwidth(const ns::Value& albums) {
    const double w = view()->frame().size.width;
    adv_list = records::array(albums);
    mscrview->setUserInteractionEnabled(true);
    mscrview->setDelegate(sharedAs<ui::ScrollViewDelegate>());
    mscrview->setPagingEnabled(true);
    _pageControl->setNumberOfPages(static_cast<int>(adv_list.count()));
    for (const auto& sub : mscrview->subviews()) {
        if (std::dynamic_pointer_cast<ui::Button>(sub)) sub->removeFromSuperview();
    }
    std::size_t i = 0;
    for (const ns::Value& album : adv_list.items()) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{static_cast<double>(i) * w, 0, w, 150});
        b->setTag(2000 + static_cast<int>(i));
        setImageWithURL(b, records::text(album, "original_path"), ui::Image::imageNamed("icon_empty.png"));
        mscrview->addSubview(b);
        ++i;
    }
    mscrview->setContentSize(ui::Size{static_cast<double>(adv_list.count()) * w, 150});
}

void PartyDetailViewController::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& web) {
    const double w = view()->frame().size.width;
    heigth = static_cast<float>(ns::Value(web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight"))
                                    .floatValue());
    mwebview->setFrame(ui::Rect{0, kBodyTop, w, heigth});
    rootScrview->setContentSize(ui::Size{w, kBodyTop + heigth});
}

// ---- Tabs ----

void PartyDetailViewController::ButtonManger(const std::shared_ptr<ui::Button>& sender) {
    const double w = view()->frame().size.width;
    if (sender && sender == detailButton) {
        detailButton->setTitleColor(ui::Color::redColor(), ui::ControlStateNormal);
        Level_MsgButton->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
        mwebview->setHidden(false);
        partycommentview->setHidden(true);
        rootScrview->setContentSize(ui::Size{w, kBodyTop + heigth});
        rootScrview->setScrollEnabled(true);
        auto line = scrview;
        ui::View::animateWithDuration(0.1, [line, w] { line->setFrame(ui::Rect{0, 300, w / 2, 2}); });
    } else if (sender && sender == Level_MsgButton) {
        detailButton->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
        Level_MsgButton->setTitleColor(ui::Color::redColor(), ui::ControlStateNormal);
        mwebview->setHidden(true);
        partycommentview->setHidden(false);
        auto line = scrview;
        ui::View::animateWithDuration(0.1, [line, w] { line->setFrame(ui::Rect{w / 2, 300, w / 2, 2}); });
    }
}

// ---- Calling the seller ----

void PartyDetailViewController::tell() {
    ui::create<ui::AlertView>("温馨提示", "是否现在拨打？", sharedAs<ui::AlertViewDelegate>(), "取消",
                              std::vector<std::string>{"拨打"})
        ->show();
}

void PartyDetailViewController::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>&,
                                                                int buttonIndex) {
    if (buttonIndex != 1) return;
    requestType = kCallRequest;
    pp->SubmitRetailerContact(partyID);
    ui::Application::sharedApplication().openURL("telprompt://" + contact_phone);
}
