#include "members/OrganizationalLifeView.h"

#include <algorithm>

#include "app/framework/FrontScreen.h"
#include "app/shell/Utils.h"
#include "app/framework/Records.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "members/MobilePartyViewController.h"
#include "members/QuorvelPartViewController.h"
#include "uikit/NavigationController.h"
#include "uikit/TableViewCell.h"

namespace {

constexpr const char* kCellId = "SSXWCell";

}  // namespace

void OrganizationalLifeView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setBackgroundColor(ui::Color::whiteColor());
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 0, frame.size.width, frame.size.height},
                                           ui::TableViewStylePlain);
    addSubview(mtableview);

    std::weak_ptr<OrganizationalLifeView> weak = sharedAs<OrganizationalLifeView>();
    list = PagedList::create(PagedList::Config{
        .request = [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
            if (auto self = weak.lock()) client.GetOrgLifeList(page, pageSize, self->orgID);
        },
        .cell = [](const PagedList::Table& table, const ns::Value& record,
                   const ui::IndexPath&) -> std::shared_ptr<ui::TableViewCell> {
            auto cell = table->dequeueReusableCellWithIdentifier(kCellId);
            if (!cell) {
                cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleSubtitle, kCellId);
                cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
                cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
            }
            cell->textLabel()->setFont(ui::Font::systemFontOfSize(12));
            cell->textLabel()->setText(records::text(record, "title"));
            cell->detailTextLabel()->setFont(ui::Font::systemFontOfSize(12));
            cell->detailTextLabel()->setText(records::text(record, "date_time"));
            return cell;
        },
        .rowHeight = [](const PagedList::Table&, const ns::Value&, const ui::IndexPath&) { return 50.0; },
        .select = [weak](const ns::Value& record, const ui::IndexPath&) {
            if (auto self = weak.lock()) self->open(record);
        },
        .pageLoaded = [weak](const ns::Value&, const ns::Value&) {
            auto self = weak.lock();
            if (!self) return;
            const bool empty = self->list->count() == 0;
            self->mtableview->setHidden(empty);
            if (empty) Utils::showAlert("暂无相关数据！");
        },
        .pageSize = kPageSize,
        .showsResult = false,
        .replyLog = "组织生活resone===%@",
        .firstLoadOverlay = false,
    });
    list->attach(nullptr, mtableview, pp);
    list->prepare();
}

void OrganizationalLifeView::loadingDataWithorg_id(const std::string& orgId) {
    orgID = orgId;
    list->restart();
}

void OrganizationalLifeView::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*pp, result);
}

void OrganizationalLifeView::GetWebServerContent_Fail(const ns::ErrorPtr& error) { list->handleFailure(*pp, error); }

std::shared_ptr<MobilePartyViewController> OrganizationalLifeView::viewController() const {
    return BaseScreen::holding<MobilePartyViewController>(*this);
}

std::shared_ptr<QuorvelPartViewController> OrganizationalLifeView::QuorvelviewController() const {
    return BaseScreen::holding<QuorvelPartViewController>(*this);
}

void OrganizationalLifeView::open(const ns::Value& record) {
    auto hostScreen = homeOfType(*this, type_);
    if (!hostScreen) return;
    auto detail = ui::create<ZuZhiDetailViewController>();
    detail->setLiftDit(records::object(record));
    if (auto nav = hostScreen->navigationController()) nav->pushViewController(detail, true);
}

// ---- The detail page ----

void ZuZhiDetailViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle("组织生活");
    const double W = view()->frame().size.width;
    view()->setBackgroundColor(ui::Color::whiteColor());
    naview = makeBackNavBar(*this);

    auto label = [&](const ui::Rect& frame, double size, const std::string& text) {
        auto l = ui::create<ui::Label>(frame);
        l->setBackgroundColor(ui::Color::clearColor());
        l->setFont(ui::Font::systemFontOfSize(size));
        l->setText(text);
        view()->addSubview(l);
        return l;
    };
    headingLabel = label(ui::Rect{0, 64, W, 20}, 14, records::text(liftDit_, "title"));
    headingLabel->setTextAlignment(ui::TextAlignmentCenter);
    lineLabel = label(ui::Rect{0, 89, W, 20}, 12,
                      records::text(liftDit_, "user_name") + ":" + records::text(liftDit_, "add_time"));
    bodyLabel = label(ui::Rect{0, 114, W, 40}, 12, records::text(liftDit_, "content"));
    bodyLabel->setNumberOfLines(0);
    bodyLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
}

