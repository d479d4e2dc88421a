#include "members/RepresentativeListViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "members/PartyBehalfViewController.h"
#include "members/PartyListViewController.h"
#include "uikit/NavigationController.h"

void RepresentativeListViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle("直通党代表");
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    auto root = view();
    const double W = root->frame().size.width;
    const double H = root->frame().size.height;
    root->setBackgroundColor(ui::Color::whiteColor());
    naview = makeBackNavBar(*this);
    msrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, W, H - 64});
    root->addSubview(msrview);

    loginview = ui::create<LoginViewController>();
    loginview->view()->setFrame(ui::Rect{0, 64, W, H - 64});
    loginview->view()->setHidden(true);
    root->addSubview(loginview->view());

    std::weak_ptr<RepresentativeListViewController> weak = sharedAs<RepresentativeListViewController>();
    list = PagedList::create(PagedList::Config{
        .request = [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
            if (auto self = weak.lock()) client.GetRepresentativeList(page, pageSize, self->org_id);
        },
        .pageSize = kPageSize,
        .showsResult = false,
        .fragmentReply = true,
        .replyLog = "reo==%@",
        .layoutTiles = [weak](ui::ScrollView& grid, const ns::Value& rows) {
            auto self = weak.lock();
            if (!self) return;
            for (auto& tile : tilegrid::layout(grid, rows, {"head_portrait", "real_name", 70})) {
                tile->addTarget(self.get(), &RepresentativeListViewController::Actions, ui::ControlEventTouchUpInside);
            }
        },
    });
    list->attachGrid(sharedAs<ui::ViewController>(), msrview, pp);
    list->start();
}

void RepresentativeListViewController::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*pp, result);
}

void RepresentativeListViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*pp, error);
}

// ---- The login gate ----

void RepresentativeListViewController::Actions(std::shared_ptr<ui::Button> sender) {
    // A tile of a list that a refresh has emptied since stands for nobody.
    const ns::Value representative = tilegrid::recordFor(list->records(), sender);
    if (representative.isNil()) return;
    if (!Utils::isLogin()) {
        ui::create<ui::AlertView>(Utils::kAlertTitle, "你没有登录，请先登录！", sharedAs<ui::AlertViewDelegate>(), "取消",
                                  std::vector<std::string>{"现在去登录"})
            ->show();
        return;
    }
    auto nav = navigationController();
    if (!nav) return;
    auto page = ui::create<PartyListViewController>();
    page->partyuserID = records::text(representative, "id");
    nav->pushViewController(page, true);
}

void RepresentativeListViewController::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>&,
                                                                       int buttonIndex) {
    if (buttonIndex == 1) loginview->view()->setHidden(false);
}
