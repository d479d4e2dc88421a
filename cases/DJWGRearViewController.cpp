#include "cases/DJWGRearViewController.h"

#include "app/framework/Records.h"
#include "app/framework/RevealController.h"
#include "app/shell/Utils.h"
#include "cases/ActivitiesViewController.h"
#include "cases/AddressBookViewController.h"
#include "cases/DJWGFrontViewController.h"
#include "cases/EventListViewController.h"
#include "cases/TryingViewController.h"
#include "service/JSON.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kPowerOperation = "GetEventPower";

// The screens of the grid organisations, the address book and the
// grassroots activities.
std::shared_ptr<ui::ViewController> makeGridOrganisations() { return ui::create<DJWGFrontViewController>(); }
std::shared_ptr<ui::ViewController> makeAddressBook() { return ui::create<AddressBookViewController>(); }
std::shared_ptr<ui::ViewController> makeActivities() { return ui::create<ActivitiesViewController>(); }

// The event type of an event-list row.
std::string eventTypeOf(const std::string& row) {
    if (row == DJWGRearViewController::kRowEvents) return "3";
    if (row == DJWGRearViewController::kRowUrgent) return "1";
    if (row == DJWGRearViewController::kRowCoordination) return "2";
    return "";
}

}  // namespace

void DJWGRearViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    user_id = records::text(Utils::getMember()->member_id);
    // Every row but the home row acts here; the menu only moves the highlight.
    menu = RearMenu::create(
        {
            RearMenu::highlightRow(kRowGrid),
            RearMenu::highlightRow(kRowRegister),
            RearMenu::highlightRow(kRowEvents),
            RearMenu::highlightRow(kRowUrgent),
            RearMenu::highlightRow(kRowCoordination),
            RearMenu::highlightRow(kRowAddressBook),
            RearMenu::homeRow(),
        },
        RearMenu::Options{.swapByClass = false, .animatedHome = false});
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
    menu->rearTableView->setDelegate(sharedAs<ui::TableViewDelegate>());
}

void DJWGRearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
}

void DJWGRearViewController::selectRow(long row) {
    if (!menu || row < 0 || static_cast<std::size_t>(row) >= menu->records().count()) return;
    auto keep = sharedAs<DJWGRearViewController>();
    menu->selectRow(row);  // the highlight; the home row leaves the module
    if (!std::dynamic_pointer_cast<RevealController>(parentViewController())) return;
    titleStr = records::text(menu->records().at(static_cast<std::size_t>(row)), "title");

    if (titleStr == kRowGrid) {
        setFront(makeGridOrganisations());
    } else if (titleStr == kRowRegister) {
        queryPower(kRowRegister, "1");
    } else if (titleStr == kRowEvents || titleStr == kRowUrgent || titleStr == kRowCoordination) {
        queryPower(kRowEvents, "2");
    } else if (titleStr == kRowAddressBook) {
        pushOverModule(makeAddressBook());
    } else if (titleStr == kRowActivities) {
        pushOverModule(makeActivities());
    }
}

void DJWGRearViewController::queryPower(const std::string& kind, const std::string& type) {
    requestType = kind;
    pp->QueryEventPower(user_id, type);
    powerRequest_ = pp->runningRequest();
}

void DJWGRearViewController::setFront(const std::shared_ptr<ui::ViewController>& screen) {
    auto reveal = std::dynamic_pointer_cast<RevealController>(parentViewController());
    if (!screen || !reveal) return;
    reveal->setFrontViewController(ui::create<ui::NavigationController>(screen), false);
}

void DJWGRearViewController::pushOverModule(const std::shared_ptr<ui::ViewController>& screen) {
    auto home = navigationController();
    if (screen && home) home->pushViewController(screen, true);
}

void DJWGRearViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kPowerOperation) return;
    // Only the answer to the last query counts: an earlier one would be read
    // as the answer for another row.
    if (!powerRequest_ || pp->replyRequest() != powerRequest_) return;
    powerRequest_.reset();

    ns::Value reply = records::parse(result);
    bool granted = records::text(reply, "is_power") == "1";
    if (requestType == kRowRegister) {
        if (!granted) {
            Utils::showAlert(kNoReportPower);
            return;
        }
        setFront(ui::create<TryingViewController>());
    } else if (requestType == kRowEvents) {
        if (!granted) {
            Utils::showAlert(kNoViewPower);
            return;
        }
        auto list = ui::create<EventListViewController>();
        list->eventType = eventTypeOf(titleStr);
        list->eventTitle = titleStr;
        setFront(list);
    }
}

void DJWGRearViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    // No overlay is shown for a permission query: nothing to close or report.
    if (pp->replyRequest() == powerRequest_) powerRequest_.reset();
}
