#include "cases/DqFrontViewController.h"

#include "app/widgets/Controls.h"
#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/AddXinShengViewController.h"
#include "cases/MyDoneViewController.h"
#include "cases/XinShengDetailViewController.h"
#include "cases/XinShengTableViewCell.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"
#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {


}  // namespace

void DqFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    PP = VoVaClient::create(sharedAs<PPClientDelegate>());

    buildFrontBar();
    auto root = view();
    const ui::Size size = root->frame().size;

    addButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    addButton->setBackgroundImage(ui::Image::imageNamed("add.png"), ui::ControlStateNormal);
    addButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    addButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    addButton->setFrame(ui::Rect{size.width - 35, 25, 24, 24});
    addButton->addTarget(this, &DqFrontViewController::add, ui::ControlEventTouchUpInside);
    naview->addSubview(addButton);

    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));

    phoneField = makeBorderedField(ui::Rect{10, 70, 180, 30}, 12);
    phoneField->setPlaceholder("请输入手机号码搜索");
    phoneField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    phoneField->setReturnKeyType(ui::ReturnKeySearch);
    root->addSubview(phoneField);

    const ui::Rect field = phoneField->frame();
    searchButton = makeImageButton(ui::Rect{field.size.width + 15, field.origin.y, 40, 30}, "搜索", "navbar.png", 14);
    searchButton->addTarget(this, &DqFrontViewController::seach, ui::ControlEventTouchUpInside);
    root->addSubview(searchButton);
    const ui::Rect s = searchButton->frame();
    doneButton = makeImageButton(ui::Rect{s.origin.x + s.size.width + 5, field.origin.y, 65, 30}, "需要我处理");
    doneButton->addTarget(this, &DqFrontViewController::Done, ui::ControlEventTouchUpInside);
    root->addSubview(doneButton);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 100, size.width, size.height - 100}, ui::TableViewStylePlain);
    mtableview->setRowHeight(XinShengTableViewCell::kHeight);
    root->addSubview(mtableview);

    list = PagedList::create(PagedList::Config{
        .source = weakAs<PagedListSource>(),
        .pageSize = "10",
        .showsResult = false,
        .fragmentReply = true,
        .replyLog = "reo==%@",
        .firstLoadOverlay = false,
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, PP);
    // The first page comes with the first appearance.
    list->prepare();

    loginview = ui::create<LoginViewController>();
    loginview->view()->setFrame(ui::Rect{0, 64, size.width, size.height - 64});
    root->addSubview(loginview->view());
    loginview->setIsFrom(kLoginFrom);
    loginview->setDelegate(weakAs<LoginViewControllerDelegate>());
    loginview->view()->setHidden(true);
}

void DqFrontViewController::viewWillAppear(bool animated) {
    FrontOf::viewWillAppear(animated);
    // A fresh first page on every appearance, without the overlay.
    list->restart();
}

void DqFrontViewController::viewWillDisappear(bool animated) {
    SystemViewController::viewWillDisappear(animated);
    if (auto request = PP->runningRequest()) request->cancel();
}

void DqFrontViewController::requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) {
    const std::string tel = phoneField ? phoneField->text() : std::string();
    if (!tel.empty()) {
        client.GetGroupVoice_page_size_type_user_tel(page, pageSize, "1", tel);
    } else {
        client.GetGroupVoice(page, pageSize, "3");
    }
}

void DqFrontViewController::seach() {
    phoneField->resignFirstResponder();
    list->refreshView();
    showProgress(kSearchingStatus);
}

bool DqFrontViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    seach();
    return true;
}

void DqFrontViewController::add() {
    auto form = ui::create<AddXinShengViewController>();
    form->setModalTransitionStyle(ui::ModalTransitionStyleFlipHorizontal);
    auto nav = ui::create<ui::NavigationController>(form);
    presentViewController(nav, true, [] {});
}

void DqFrontViewController::Done() {
    if (!Utils::isLogin()) {
        loginview->view()->setHidden(false);
        loginview->setIsFrom(kLoginFrom);
        return;
    }
    openHandling();
}

void DqFrontViewController::rolesName(const std::string&, bool) { openHandling(); }

void DqFrontViewController::openHandling() {
    loginview->view()->setHidden(true);
    if (auto nav = navigationController()) nav->pushViewController(ui::create<MyDoneViewController>(), true);
}

void DqFrontViewController::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*PP, result);
}

void DqFrontViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*PP, error);
}

std::shared_ptr<ui::TableViewCell> DqFrontViewController::cellFor(const PagedList::Table& table,
                                                                  const ns::Value& record) {
    return makeXinShengCell(table, record);
}

void DqFrontViewController::open(const ns::Value& record) {
    auto detail = ui::create<XinShengDetailViewController>();
    detail->feel_id = records::text(record, "id");
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
