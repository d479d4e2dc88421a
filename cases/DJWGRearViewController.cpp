#include "cases/DJWGRearViewController.h"

#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/AddressBookViewController.h"
#include "cases/DJWGFrontViewController.h"
#include "cases/EventListViewController.h"
#include "cases/TryingViewController.h"

namespace {

constexpr const char* kPowerOperation = "GetEventPower";

}  // namespace

void DJWGRearViewController::viewDidLoad() {
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    user_id = records::text(Utils::getMember()->member_id);
    RearMenuScreen::viewDidLoad();
}

std::vector<RearMenu::Row> DJWGRearViewController::menuRows() {
    std::weak_ptr<DJWGRearViewController> weak = sharedAs<DJWGRearViewController>();
    auto guarded = [weak](RearMenu::Row row, const std::string& type, const std::string& refusal) {
        row.guard = [weak, type, refusal](const std::string&, std::function<void(bool)> answer) {
            if (auto self = weak.lock()) self->queryPower(type, refusal, std::move(answer));
        };
        return row;
    };
    auto eventRow = [&](const std::string& title, const std::string& eventType) {
        RearMenu::Row row = RearMenu::bareScreenRow<EventListViewController>(title);
        row.make = [eventType](const std::string& t) -> RearMenu::Screen {
            auto list = ui::create<EventListViewController>();
            list->eventType = eventType;
            list->eventTitle = t;
            return list;
        };
        return guarded(row, "2", kNoViewPower);
    };
    return {
        RearMenu::bareScreenRow<DJWGFrontViewController>(kRowGrid),
        guarded(RearMenu::bareScreenRow<TryingViewController>(kRowRegister), "1", kNoReportPower),
        eventRow(kRowEvents, "3"),
        eventRow(kRowUrgent, "1"),
        eventRow(kRowCoordination, "2"),
        RearMenu::pushRow<AddressBookViewController>(kRowAddressBook),
        RearMenu::homeRow(),
    };
}

void DJWGRearViewController::queryPower(const std::string& type, const std::string& refusal,
                                        std::function<void(bool)> answer) {
    pp->QueryEventPower(user_id, type);
    powerRequest_ = pp->runningRequest();
    powerAnswer_ = std::move(answer);
    powerRefusal_ = refusal;
}

void DJWGRearViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kPowerOperation) return;
    // Only the answer to the last query counts: an earlier one would be read
    // as the answer for another row.
    if (!powerRequest_ || pp->replyRequest() != powerRequest_) return;
    powerRequest_.reset();
    auto answer = std::move(powerAnswer_);
    powerAnswer_ = nullptr;

    const bool granted = records::text(records::parse(result), "is_power") == "1";
    if (!granted) Utils::showAlert(powerRefusal_);
    if (answer) answer(granted);
}

void DJWGRearViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    // No overlay is shown for a permission query: nothing to close or report.
    if (pp->replyRequest() == powerRequest_) {
        powerRequest_.reset();
        powerAnswer_ = nullptr;
    }
}
