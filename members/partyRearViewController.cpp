#include "members/partyRearViewController.h"

#include "members/partyFrontViewController.h"

std::vector<RearMenu::Row> partyRearViewController::menuRows() {
    std::weak_ptr<partyRearViewController> weak = sharedAs<partyRearViewController>();
    auto listRow = [weak](const std::string& title, const std::string& type) {
        RearMenu::Row row = RearMenu::bareScreenRow<partyFrontViewController>(title);
        row.make = [weak, type](const std::string& t) -> RearMenu::Screen {
            auto screen = ui::create<partyFrontViewController>();
            screen->_type = type;
            screen->navTitle = t;
            if (auto self = weak.lock()) {
                screen->userID = self->userID;
                screen->userType = self->userType;
            }
            return screen;
        };
        return row;
    };
    return {
        listRow("供应信息", "1"),
        listRow("求购信息", "2"),
        listRow("我的信息", "3"),
        RearMenu::homeRow(),
    };
}
