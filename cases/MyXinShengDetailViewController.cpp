#include "cases/MyXinShengDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/Controls.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kRecordOperation = "GetGroupVoiceRecord";
constexpr const char* kStepOperation = "SubmitGroupVoiceHandle";


}  // namespace

void MyXinShengDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(petition::kDetailTitle);
    PP = VoVaClient::create(sharedAs<PPClientDelegate>());
    auto root = view();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;

    naview = makeBackNavBar(*this);
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));

    labels.build(root, w, 30, 30);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 274, w, 130}, ui::TableViewStylePlain);
    mtableview->setRowHeight(kRowHeight);
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    mtableview->setHidden(true);
    root->addSubview(mtableview);

    showProgress(petition::kLoading);
    user_id = Utils::getMember()->member_id.text();
    loadRecord();

    const double x0 = static_cast<float>((w - 160) / 3);
    replyButton = makeImageButton(ui::Rect{x0, h - 40, 80, 30}, "回复");
    replyButton->addTarget(this, &MyXinShengDetailViewController::reply, ui::ControlEventTouchUpInside);
    root->addSubview(replyButton);
    reportButton = makeImageButton(ui::Rect{2 * x0 + 80, h - 40, 80, 30}, "上报");
    reportButton->addTarget(this, &MyXinShengDetailViewController::report, ui::ControlEventTouchUpInside);
    root->addSubview(reportButton);

    glview = ui::create<ui::View>(ui::Rect{0, 0, w, h});
    glview->setBackgroundColor(ui::Color::blackColor());
    glview->setAlpha(0.6);
    glview->setHidden(true);
    root->addSubview(glview);
    repview = ui::create<ReplyView>(ui::Rect{20, 80, w - 40, 120});
    repview->setDelegate(sharedAs<ReplyViewDelegate>());
    repview->setHidden(true);
    root->addSubview(repview);
    ActionType.clear();
}

void MyXinShengDetailViewController::loadRecord() {
    requestType = kDetail;
    PP->GetGroupVoiceRecord_user_id(feel_id, user_id);
}

void MyXinShengDetailViewController::reply() { openPopup("回复"); }
void MyXinShengDetailViewController::report() { openPopup("上报"); }

void MyXinShengDetailViewController::openPopup(const std::string& action) {
    ActionType = action;
    glview->setHidden(false);
    repview->setHidden(false);
}

void MyXinShengDetailViewController::closeReplyContent() {
    glview->setHidden(true);
    repview->setHidden(true);
}

void MyXinShengDetailViewController::sumitReplyContent(const std::string& text) {
    if (PP->isSending(kStepOperation)) return;  // a step on its way is not sent again
    requestType = kSubmit;
    showProgress("提交中...");
    PP->SubmitGroupVoiceHandle(feel_id, user_id, ActionType, text);
}

// ---- Replies ----

void MyXinShengDetailViewController::GetWebServerContent_success(const std::string& result) {
    // A reply counts only for the operation that the screen is waiting for.
    const std::string& operation = PP->replyOperation();
    if (requestType == kDetail && operation == kRecordOperation) {
        recordReplied(result);
    } else if (requestType == kSubmit && operation == kStepOperation) {
        stepReplied(result);
    }
    ProgressHUD::dismiss();
}

void MyXinShengDetailViewController::recordReplied(const std::string& result) {
    ProgressHUD::dismissWithSuccess(petition::kLoaded, "", petition::kResultDelay);
    ns::Value reply = records::parse(result);
    ns::Value record = records::item(reply);
    labels.fill(record);

    mdataArray = records::array(record, "feel_handle");
    mtableview->setHidden(mdataArray.count() == 0);
    if (mdataArray.count() > 0) mtableview->reloadData();

    const std::string isHandle = records::text(reply, "is_handle");
    const std::string isReport = records::text(reply, "is_report");
    ns::NSLog("is_report===%@", isReport);
    replyButton->setHidden(isHandle != "1");
    reportButton->setHidden(isReport != "1");
}

void MyXinShengDetailViewController::stepReplied(const std::string& result) {
    ns::Value reply = records::parse(result);
    const bool done = records::succeeded(reply);
    if (done) {
        loadRecord();
        glview->setHidden(true);
        repview->setHidden(true);
        replyButton->setHidden(true);
        reportButton->setHidden(true);
    } else {
        // The pop-up stays with its text, so the step can be sent again;
        // no later answer is read for this one.
        requestType.clear();
    }
    std::string message = records::message(reply);
    if (message.empty()) message = done ? "提交成功！" : "提交失败！";
    Utils::showAlert(message);
}

void MyXinShengDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    const std::string& operation = PP->replyOperation();
    if ((requestType == kSubmit && operation == kStepOperation) ||
        (requestType == kDetail && operation == kRecordOperation)) {
        requestType.clear();
    }
    ProgressHUD::dismissWithError(petition::kLoadFailed, "", petition::kResultDelay);
    ProgressHUD::dismiss();
}

long MyXinShengDetailViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

std::shared_ptr<ui::TableViewCell> MyXinShengDetailViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    auto cell = makeReplyCell(table, records::object(mdataArray.at(static_cast<std::size_t>(ip.row))));
    const double w = table->frame().size.width;
    cell->contentLabel->setFrame(ui::Rect{5, 25, w - 10, 40});
    return cell;
}
