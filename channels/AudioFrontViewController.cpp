#include "channels/AudioFrontViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "channels/AudioDetailViewController.h"
#include "channels/SSXWCell.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {

struct Category {
    const char* title;
    const char* code;
};

constexpr Category kCategories[] = {
    {"主题教育", "zhutijiaoyu"},   {"先锋栏目", "xianfenglanmu"},   {"远教课件", "yuanjiaokejian"},
    {"微电影", "weidianying"},     {"公益短片", "gongyiduanpian"}, {"时政新闻", "shizhengxinwen"},
};

RearMenu::Row categoryRow(const Category& category) {
    RearMenu::Row row;
    row.kind = RearMenu::Row::Kind::Screen;
    row.title = category.title;
    row.screenClass = std::type_index(typeid(AudioFrontViewController));
    const std::string code = category.code;
    row.make = [code](const std::string& title) -> RearMenu::Screen {
        auto front = ui::create<AudioFrontViewController>();
        front->category_code = code;
        front->Navtitle = title;
        return front;
    };
    return row;
}

}  // namespace

void AudioRearViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    std::vector<RearMenu::Row> rows;
    for (const auto& category : kCategories) rows.push_back(categoryRow(category));
    rows.push_back(RearMenu::homeRow());
    menu = RearMenu::create(std::move(rows), RearMenu::Options{.swapByClass = false});
    // The rows keep their category code beside the title.
    for (std::size_t i = 0; i < std::size(kCategories); ++i) menu->records().at(i).set("catoryCode", kCategories[i].code);
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
}

void AudioRearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
}

// ---- The list ----

void AudioFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setTitle(Navtitle);
    naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(Navtitle);
    menuButton = addMenuButton(*naview, this);

    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(SSXWCell::kHeight);
    mtableview->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    root->addSubview(mtableview);

    std::weak_ptr<AudioFrontViewController> weak = sharedAs<AudioFrontViewController>();
    list = PagedList::create(PagedList::Config{
        .request = [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
            auto self = weak.lock();
            client.news_request(page, pageSize, self ? self->category_code : std::string());
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
        .fragmentReply = true,
        .replyLog = "reo==%@",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void AudioFrontViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
}

void AudioFrontViewController::revealToggle() { toggleRevealOf(*this); }

void AudioFrontViewController::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*pp, result);
}

void AudioFrontViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*pp, error);
}

std::shared_ptr<ui::TableViewCell> AudioFrontViewController::cellFor(const PagedList::Table& table,
                                                                      const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<SSXWCell>(table->dequeueReusableCellWithIdentifier(SSXWCell::kIdentifier));
    if (!cell) cell = ui::create<SSXWCell>(ui::TableViewCellStyleDefault, SSXWCell::kIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    setImageWithURL(cell->headimagev, records::text(record, "img_url"), ui::Image::imageNamed(SSXWCell::kPlaceholder));
    cell->titleLabel->setText(records::text(record, "title"));
    cell->subLabel->setText(records::text(record, "zhaiyao"));
    return cell;
}

void AudioFrontViewController::open(const ns::Value& record) {
    auto detail = ui::create<AudioDetailViewController>();
    detail->article_id = records::text(record, "id");
    detail->navTitle = Navtitle;
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
