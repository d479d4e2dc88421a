#include "channels/SSZTFrontViewController.h"

#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "channels/ArticleRoutes.h"
#include "app/framework/FrontScreen.h"
#include "channels/SSXWCell.h"
#include "foundation/Log.h"
#include "uikit/Button.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void SSZTFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());

    naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
    menuButton = addMenuButton(*naview, this);

    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(SSXWCell::kHeight);
    mtableview->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    root->addSubview(mtableview);

    std::weak_ptr<SSZTFrontViewController> weak = sharedAs<SSZTFrontViewController>();
    list = PagedList::create(PagedList::Config{
        .request = [](VoVaClient& client, const std::string& page,
                      const std::string& pageSize) { client.news_request(page, pageSize, kCategory); },
        .cell = [weak](const PagedList::Table& table, const ns::Value& record,
                       const ui::IndexPath&) -> std::shared_ptr<ui::TableViewCell> {
            auto self = weak.lock();
            return self ? self->cellFor(table, record) : nullptr;
        },
        .select = [weak](const ns::Value& record, const ui::IndexPath&) {
            if (auto self = weak.lock()) self->open(record);
        },
        .pageSize = "10",
        .resultDelay = kResultDelay,
        .fragmentReply = true,
        .replyLog = "reo==%@",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void SSZTFrontViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
}

void SSZTFrontViewController::revealToggle() { toggleRevealOf(*this); }

std::shared_ptr<ui::BarButtonItem> SSZTFrontViewController::right() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{200, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("head_right.png"), ui::ControlStateNormal);
    button->addTarget(this, &SSZTFrontViewController::set, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void SSZTFrontViewController::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*pp, result);
}

void SSZTFrontViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*pp, error);
}

std::shared_ptr<ui::TableViewCell> SSZTFrontViewController::cellFor(const PagedList::Table& table,
                                                                     const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<SSXWCell>(table->dequeueReusableCellWithIdentifier(SSXWCell::kIdentifier));
    if (!cell) cell = ui::create<SSXWCell>(ui::TableViewCellStyleDefault, SSXWCell::kIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    setImageWithURL(cell->headimagev, records::text(record, "img_url"), ui::Image::imageNamed(SSXWCell::kPlaceholder));
    cell->titleLabel->setText(records::text(record, "title"));
    cell->subLabel->setText(records::text(record, "zhaiyao"));
    ns::NSLog("zhaiyao==%@", record["zhaiyao"]);
    return cell;
}

void SSZTFrontViewController::open(const ns::Value& record) {
    auto detail = makeArticleDetail(records::text(record, "id"), islogin);
    auto nav = navigationController();
    if (detail && nav) nav->pushViewController(detail, true);
}
