#include "cases/EventDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/ResultCell.h"
#include "foundation/Format.h"
#include "uikit/Font.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kRecordOperation = "GetEventRecord";
constexpr const char* kHandleOperation = "SubmitEventHandle";
constexpr const char* kRequestRecord = "事件详细";
constexpr const char* kRequestSubmit = "提交";
constexpr const char* kCellIdentifier = "cell";

}  // namespace

void EventDetailViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle(kTitle);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    auto root = view();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;
    root->setBackgroundColor(ui::Color::whiteColor());

    naview = makeBackNavBar(*this, kTitle);

    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    mscrview->setUserInteractionEnabled(true);
    root->addSubview(mscrview);

    auto field = [&](double y) {
        auto label = ui::create<ui::Label>(ui::Rect{5, y, w - 10, 20});
        label->setFont(ui::Font::systemFontOfSize(12));
        label->setBackgroundColor(ui::Color::clearColor());
        mscrview->addSubview(label);
        return label;
    };
    titleLabel = field(0);
    gavLabel = field(25);
    peopleLabel = field(50);
    tagLabel = field(75);
    timeLabel = field(100);
    addressLabel = field(125);
    stateLabel = field(150);
    tagPeopleLabel = field(175);
    resultLabel = field(200);
    resultLabel->setFont(ui::Font::systemFontOfSize(15));
    resultLabel->setTextColor(ui::Color::redColor());
    resultLabel->setNumberOfLines(0);
    resultLabel->setLineBreakMode(ui::LineBreakByCharWrapping);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 220, w, 200}, ui::TableViewStylePlain);
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    mscrview->addSubview(mtableview);
    mscrview->setContentSize(ui::Size{w, 590});

    resview = ui::create<ResultView>(ui::Rect{0, 425, w, 200});
    resview->contentTextview->setDelegate(sharedAs<ui::TextViewDelegate>());
    resview->setDelegate(sharedAs<ResultViewDelegate>());
    resview->setHidden(true);
    mscrview->addSubview(resview);
    mscrview->setContentSize(ui::Size{w, 715});

    showProgress("加载中...");
    user_id = records::text(Utils::getMember()->member_id);
    loadEvent();
}

void EventDetailViewController::loadEvent() {
    requestType = kRequestRecord;
    pp->GetEventRecord(eventID, user_id);
}

long EventDetailViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(dataArray.count());
}

std::shared_ptr<ui::TableViewCell> EventDetailViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    auto cell = std::dynamic_pointer_cast<ResultCell>(table->dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) cell = ui::create<ResultCell>(ui::TableViewCellStyleDefault, kCellIdentifier);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    ns::Value record = records::object(dataArray.at(static_cast<std::size_t>(ip.row)));
    cell->peopleLabel->setText(ns::format("处理人:%@", records::text(record, "user_name")));
    cell->contentLabel->setText(ns::format("处理内容: %@", records::text(record, "remark")));
    cell->stateLabel->setText(
        ns::format("状态:%@ 时间:%@", records::text(record, "state"), records::text(record, "datetimes")));
    return cell;
}

bool EventDetailViewController::textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>&) {
    mscrview->setContentOffset(ui::Point{0, 300});
    return true;
}

bool EventDetailViewController::textView_shouldChangeTextInRange_replacementText(
    const std::shared_ptr<ui::TextView>& tv, ns::Range, const std::string& text) {
    if (text != "\n") return true;
    if (tv) tv->resignFirstResponder();
    mscrview->setContentOffset(ui::Point{0, 0});
    return false;
}

void EventDetailViewController::resultContent(const std::string& content, bool is_handing, bool is_handled,
                                              bool is_coordination, bool is_report) {
    if (pp->isSending(kHandleOperation)) return;  // a step on its way is not sent again
    requestType = kRequestSubmit;
    showProgress("提交中...");
    pp->SubmitEventHandle(eventID, user_id, is_handing ? 1 : 0, is_handled ? 1 : 0, is_coordination ? 1 : 0,
                          is_report ? 1 : 0, content);
}

void EventDetailViewController::GetWebServerContent_success(const std::string& result) {
    const std::string& operation = pp->replyOperation();
    if (operation == kRecordOperation) {
        ProgressHUD::dismissWithSuccess("加载成功！", "", 0.75f);
        ProgressHUD::dismiss();
        showEvent(records::parse(result));
        return;
    }
    if (operation != kHandleOperation) return;
    ns::Value reply = records::parse(result);
    if (records::succeeded(reply)) {
        Utils::showAlert(records::message(reply));
        loadEvent();
    } else {
        // The panel keeps the choice and the opinion for another try.
        std::string message = records::message(reply);
        Utils::showAlert(message.empty() ? "提交失败！" : message);
    }
    ProgressHUD::dismiss();
}

void EventDetailViewController::showEvent(const ns::Value& reply) {
    ns::Value event = records::item(reply);
    titleLabel->setText(ns::format("[%@]%@", records::text(event, "category"), records::text(event, "title")));
    gavLabel->setText(ns::format("发起部门:%@", records::text(event, "org_name")));
    peopleLabel->setText(ns::format("发起人:%@", records::text(event, "user_name")));
    tagLabel->setText(ns::format("是否紧急:%@", records::text(event, "tags")));
    timeLabel->setText(ns::format("事件时间:%@", records::text(event, "datetime")));
    addressLabel->setText(ns::format("事件地点:%@", records::text(event, "place")));
    stateLabel->setText(ns::format("状态:%@", records::text(event, "state")));
    tagPeopleLabel->setText(ns::format("负责人:%@", records::text(event, "charge")));
    resultLabel->setText("处理结果:");

    dataArray = records::array(event, "event_handles");
    mtableview->reloadData();

    resview->setHidden(records::text(reply, "is_handle") != "1");
    bool mayReport = records::text(reply, "is_report") == "1";
    resview->shangBaoBt->setHidden(!mayReport);
    resview->shangBaoLabel->setHidden(!mayReport);
}

void EventDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    ProgressHUD::dismissWithError("加载失败！", "", 0.75f);
    ProgressHUD::dismiss();
}
