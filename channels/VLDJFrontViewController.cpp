#include "channels/VLDJFrontViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "app/widgets/ZCDYCell.h"
#include "channels/QZLXDetailViewController.h"
#include "channels/XJDXCell.h"
#include "foundation/Format.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void RegionalListViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
    menuButton = addMenuButton(*naview, this);

    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(rowHeight());
    mtableview->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    root->addSubview(mtableview);

    std::weak_ptr<RegionalListViewController> weak = sharedAs<RegionalListViewController>();
    list = PagedList::create(PagedList::Config{
        .request = [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
            auto self = weak.lock();
            client.news_request(page, pageSize, self ? self->requestCode() : std::string());
        },
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
        .showsResult = true,
        .fragmentReply = false,
        .replyLog = "",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void RegionalListViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
}

void RegionalListViewController::revealToggle() { toggleRevealOf(*this); }

void RegionalListViewController::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*pp, result);
}

void RegionalListViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*pp, error);
}

std::shared_ptr<ui::TableViewCell> RegionalListViewController::cellFor(const PagedList::Table& table,
                                                                        const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<ZCDYCell>(table->dequeueReusableCellWithIdentifier("cell"));
    if (!cell) cell = ui::create<ZCDYCell>(ui::TableViewCellStyleDefault, "cell");
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->titleLabel->setText(records::text(record, "title"));
    cell->timeLabel->setText(ns::format("时间: %@", records::text(record, "add_time")));
    return cell;
}

void RegionalListViewController::open(const ns::Value& record) {
    auto detail = makeDetail(records::text(record, "id"));
    auto nav = navigationController();
    if (detail && nav) nav->pushViewController(detail, true);
}

// ---- The four lists ----

namespace {

template <typename T>
std::shared_ptr<ui::ViewController> detailFor(const std::string& articleId) {
    auto detail = ui::create<T>();
    detail->article_id = articleId;
    return detail;
}

}  // namespace

void VLDJFrontViewController::viewDidLoad() {
    setTitle(kTitle);
    RegionalListViewController::viewDidLoad();
}

std::shared_ptr<ui::ViewController> VLDJFrontViewController::makeDetail(const std::string& articleId) {
    return detailFor<QZLXDetailViewController>(articleId);
}

std::shared_ptr<ui::ViewController> ZGYWViewController::makeDetail(const std::string& articleId) {
    return detailFor<ZGYWDetailViewController>(articleId);
}

std::shared_ptr<ui::ViewController> JCDTViewController::makeDetail(const std::string& articleId) {
    return detailFor<JCDTDetailViewController>(articleId);
}

double XJDXViewController::rowHeight() const { return XJDXCell::kHeight; }

std::shared_ptr<ui::TableViewCell> XJDXViewController::cellFor(const PagedList::Table& table, const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<XJDXCell>(table->dequeueReusableCellWithIdentifier(XJDXCell::kIdentifier));
    if (!cell) cell = ui::create<XJDXCell>(ui::TableViewCellStyleDefault, XJDXCell::kIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    setImageWithURL(cell->headimagev, records::text(record, "img_url"), ui::Image::imageNamed(XJDXCell::kPlaceholder));
    cell->titleLabel->setText(records::text(record, "title"));
    cell->subLabel->setText(records::text(record, "zhaiyao"));
    cell->support_countLabel->setText(records::text(record, "support_count"));
    return cell;
}

std::shared_ptr<ui::ViewController> XJDXViewController::makeDetail(const std::string& articleId) {
    return detailFor<XJDXDetailViewController>(articleId);
}
