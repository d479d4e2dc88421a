#include "members/PartyListViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "app/shell/Utils.h"
#include "app/widgets/Controls.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/Log.h"
#include "uikit/Image.h"
#include "uikit/Window.h"

namespace {

constexpr double kTabTop = 180;
constexpr double kTabHeight = 40;
constexpr double kBodyTop = kTabTop + kTabHeight + 2;

}  // namespace

PartyListViewController::~PartyListViewController() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void PartyListViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle("党代表详情");
    auto root = view();
    const double W = root->frame().size.width;
    const double H = root->frame().size.height;
    const double half = static_cast<double>(static_cast<float>(W) / 2.0f);
    root->setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    naview = makeBackNavBar(*this);

    headimagev = ui::create<ui::ImageView>(ui::Rect{10, 70, 90, 105});
    root->addSubview(headimagev);
    nameLabel = makeCaption(ui::Rect{105, 65, 200, 30}, "", 13, root.get());
    orgLabel = makeCaption(ui::Rect{105, 95, 200, 30}, "", 13, root.get());
    phoneLabel = makeCaption(ui::Rect{105, 125, 200, 30}, "", 13, root.get());
    level_Label = makeCaption(ui::Rect{105, 155, 200, 30}, "", 13, root.get());

    auto tab = [&](int i, const char* title, ui::Color colour) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{half * i, kTabTop, half, kTabHeight});
        b->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
        b->setTag(100 + i);
        b->setTitle(title, ui::ControlStateNormal);
        b->setTitleColor(colour, ui::ControlStateNormal);
        b->addTarget(this, &PartyListViewController::ButtonManger, ui::ControlEventTouchUpInside);
        root->addSubview(b);
        return b;
    };
    detailButton = tab(0, "提案", ui::Color::redColor());
    Level_MsgButton = tab(1, "留言", ui::Color::blackColor());
    scrview = ui::create<ui::View>(ui::Rect{0, kTabTop + kTabHeight, half, 2});
    scrview->setBackgroundColor(ui::Color::redColor());
    root->addSubview(scrview);

    propview = ui::create<proposalView>(ui::Rect{0, kBodyTop, W, H - kBodyTop});
    root->addSubview(propview);
    const ui::Size screen = ui::Screen::mainScreen().bounds().size;
    commentview = ui::create<CommentsView>(ui::Rect{0, kBodyTop, screen.width, screen.height - kBodyTop});
    commentview->setHidden(true);
    commentview->partyID = partyuserID;
    root->addSubview(commentview);

    ns::NotificationCenter::defaultCenter().addObserver(sharedAs<PartyListViewController>(),
                                                        CommentsView::kReloadNotification,
                                                        &PartyListViewController::reloadMessage);
    showProgress("加载中...");
    requestType = kRecordRequest;
    pp->GetRepresentativeRecord(partyuserID);
    recordRequest_ = pp->runningRequest();
}

// ---- Tabs ----

void PartyListViewController::ButtonManger(std::shared_ptr<ui::Button> sender) {
    if (!sender || (sender != detailButton && sender != Level_MsgButton)) return;
    const bool messages = sender == Level_MsgButton;
    propview->setHidden(messages);
    commentview->setHidden(!messages);
    detailButton->setTitleColor(messages ? ui::Color::blackColor() : ui::Color::redColor(), ui::ControlStateNormal);
    Level_MsgButton->setTitleColor(messages ? ui::Color::redColor() : ui::Color::blackColor(),
                                   ui::ControlStateNormal);
    const ui::Rect line{messages ? scrview->frame().size.width : 0, detailButton->frame().maxY(),
                        scrview->frame().size.width, 2};
    auto underline = scrview;
    ui::View::animateWithDuration(0.1, [underline, line] { underline->setFrame(line); });
}

// ---- Requests ----

void PartyListViewController::requestMessages() {
    requestType = kListRequest;
    pp->GetRepresentativeComment(partyuserID, Utils::getMember()->member_id.text());
    listRequest_ = pp->runningRequest();
}

void PartyListViewController::reloadMessage(const ns::Notification&) { requestMessages(); }

void PartyListViewController::GetWebServerContent_success(const std::string& result) {
    auto request = pp->replyRequest();
    if (!request) return;
    if (request == recordRequest_.lock()) {
        recordAnswered(result);
    } else if (request == listRequest_.lock()) {
        listAnswered(result);
    }
}

void PartyListViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    auto request = pp->replyRequest();
    if (request && request == recordRequest_.lock() && showsOwnProgress()) ProgressHUD::dismiss();
}

void PartyListViewController::recordAnswered(const std::string& result) {
    if (showsOwnProgress()) ProgressHUD::dismiss();
    ns::NSLog("详情reonse====%@", result);
    const ns::Value record = records::item(records::parse(result));
    proposalsArray = records::array(record, "proposals");
    propview->proposaArray = proposalsArray;
    propview->proposatableview->reloadData();
    setImageWithURL(headimagev, records::text(record, "head_portrait"), ui::Image::imageNamed("icon_empty.png"));
    nameLabel->setText("姓名:" + records::text(record, "real_name"));
    orgLabel->setText("所属区县:" + records::text(record, "org_name"));
    phoneLabel->setText("联系电话:" + records::text(record, "mobile"));
    level_Label->setText("留言:" + records::text(record, "comment_count"));
    requestMessages();
}

void PartyListViewController::listAnswered(const std::string& result) {
    ns::NSLog("评论列表reonse====%@", result);
    const ns::Value reply = records::parse(result);
    if (!records::succeeded(reply)) return;
    commentview->setCommentArray(records::array(reply, "records"));
    level_Label->setText("留言:" + records::text(reply, "comment_count"));
    commentview->commenttableview->reloadData();
}
