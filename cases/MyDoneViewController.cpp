#include "cases/MyDoneViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/MyXinShengDetailViewController.h"
#include "cases/XinShengTableViewCell.h"
#include "foundation/Log.h"
#include "uikit/Color.h"
#include "uikit/NavigationController.h"

void MyDoneViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());
    const ui::Size size = root->frame().size;

    naview = makeBackNavBar(*this);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(XinShengTableViewCell::kHeight);
    root->addSubview(mtableview);

    user_id = Utils::getMember()->member_id.text();

    std::weak_ptr<MyDoneViewController> weak = sharedAs<MyDoneViewController>();
    list = PagedList::create(PagedList::Config{
        .request = [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
            if (auto self = weak.lock()) client.GetGroupVoice_page_size_type_user_id(page, pageSize, "4", self->user_id);
        },
        .cell = [](const PagedList::Table& table, const ns::Value& record,
                   const ui::IndexPath&) -> std::shared_ptr<ui::TableViewCell> {
            auto cell = makeXinShengCell(table, record);
            ns::NSLog("zhaiyao==%@", record["content"]);
            return cell;
        },
        .select = [weak](const ns::Value& record, const ui::IndexPath&) {
            if (auto self = weak.lock()) self->open(record);
        },
        .pageSize = "10",
        .resultDelay = 0.5,
        .fragmentReply = true,
        .replyLog = "reo==%@",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void MyDoneViewController::GetWebServerContent_success(const std::string& result) {
    if (list->handleSuccess(*pp, result) && list->count() == 0 && !list->isLoadingPage()) {
        showAlertWithTitle(kNoData);
    }
}

void MyDoneViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*pp, error);
}

void MyDoneViewController::open(const ns::Value& record) {
    auto detail = ui::create<MyXinShengDetailViewController>();
    detail->feel_id = records::text(record, "id");
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
