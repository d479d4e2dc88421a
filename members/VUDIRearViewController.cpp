#include "members/VUDIRearViewController.h"

#include "members/MobilePartyViewController.h"
#include "members/QuorvelPartViewController.h"

std::vector<RearMenu::Row> VUDIRearViewController::menuRows() {
    return {
        RearMenu::screenRow<MobilePartyViewController>("流动党员之家"),
        RearMenu::screenRow<QuorvelPartViewController>("Quorvel党员之家"),
        RearMenu::homeRow(),
    };
}
