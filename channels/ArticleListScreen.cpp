#include "channels/ArticleListScreen.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "app/widgets/ZCDYCell.h"
#include "channels/SSXWCell.h"
#include "foundation/Format.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void ArticleListScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    if (std::string own = ownTitle(); !own.empty()) setTitle(own);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
    menuButton = addMenuButton(*naview, this);
    menuButton->setFrame(ui::Rect{10, menuButtonTop(), 22, 22});

    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(thumbnailRows() ? SSXWCell::kHeight : kTextRowHeight);
    mtableview->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    root->addSubview(mtableview);

    std::weak_ptr<ArticleListScreen> weak = sharedAs<ArticleListScreen>();
    const std::string category = listCategory();
    list = PagedList::create(PagedList::Config{
        .request = [category](VoVaClient& client, const std::string& page,
                              const std::string& pageSize) { client.news_request(page, pageSize, category); },
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
        .replyLog = "",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void ArticleListScreen::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
}

void ArticleListScreen::revealToggle() { toggleRevealOf(*this); }

void ArticleListScreen::GetWebServerContent_success(const std::string& result) { list->handleSuccess(*pp, result); }

void ArticleListScreen::GetWebServerContent_Fail(const ns::ErrorPtr& error) { list->handleFailure(*pp, error); }

std::shared_ptr<ui::TableViewCell> ArticleListScreen::cellFor(const PagedList::Table& table, const ns::Value& record) {
    if (thumbnailRows()) {
        auto cell =
            std::dynamic_pointer_cast<SSXWCell>(table->dequeueReusableCellWithIdentifier(SSXWCell::kIdentifier));
        if (!cell) cell = ui::create<SSXWCell>(ui::TableViewCellStyleDefault, SSXWCell::kIdentifier);
        cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
        cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
        setImageWithURL(cell->headimagev, records::text(record, "img_url"),
                        ui::Image::imageNamed(SSXWCell::kPlaceholder));
        cell->titleLabel->setText(records::text(record, "title"));
        cell->subLabel->setText(records::text(record, "zhaiyao"));
        return cell;
    }
    auto cell = std::dynamic_pointer_cast<ZCDYCell>(table->dequeueReusableCellWithIdentifier(kTextRowIdentifier));
    if (!cell) cell = ui::create<ZCDYCell>(ui::TableViewCellStyleDefault, kTextRowIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->titleLabel->setText(records::text(record, "title"));
    cell->timeLabel->setText(ns::format("时间: %@", records::text(record, "add_time")));
    return cell;
}

void ArticleListScreen::open(const ns::Value& record) {
    auto detail = detailFor(record);
    auto nav = navigationController();
    if (detail && nav) nav->pushViewController(detail, true);
}
