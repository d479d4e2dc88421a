// The members' homes: a top bar, the tabs 组织关系 / 组织生活 / 网上登记 and
// their panes. 组织生活 shows the organisational-life list once the home's
// identity check has passed in this run (the organisation id is kept in the
// user defaults under the home's key); 网上登记 shows the registration form.
//
// MobilePartyViewController (流动党员之家, type "2", "MobileOrg_id") and
// QuorvelPartViewController (Quorvel党员之家, type "3", "QuorvelOrg_id") are
// the two homes; they are the front screens of the module's slide menu.
#pragma once

#include "app/framework/FrontScreen.h"
#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "members/OnlineRegistrationView.h"
#include "members/OrganizationalLifeView.h"
#include "members/TextView.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Label.h"
#include "uikit/ViewController.h"

class PartyHomeViewController : public FrontOf<BaseScreen>,
                                public PPClientDelegate,
                                public TextViewDelegate {
public:
    void viewDidLoad() override;

    // What tells the two homes apart.
    virtual std::string screenTitle() const = 0;
    virtual std::string homeType() const = 0;
    virtual std::string orgKey() const = 0;

    std::shared_ptr<ui::Button> guanxiBt, shenghuoBt, dengjiBt;
    std::shared_ptr<ui::View> scrview;  // the red underline of the chosen tab
    std::shared_ptr<ui::Label> buildingLabel;
    std::shared_ptr<OnlineRegistrationView> regview;
    std::shared_ptr<OrganizationalLifeView> orgLifeview;
    std::shared_ptr<TextView> testview;
    std::shared_ptr<VoVaClient> PP;  // the screen sends nothing of its own

    // Target of the three tabs.
    void MeetingManger(std::shared_ptr<ui::Button> sender);
    // A bar item that no bar shows (homesRightItem).
    std::shared_ptr<ui::BarButtonItem> right();

    // TextViewDelegate
    void loginSuccessReloadLife(const std::string& orgId) override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string&) override {}
    void GetWebServerContent_Fail(const ns::ErrorPtr&) override {}
};

// The home of that type ("2": MobilePartyViewController, "3":
// QuorvelPartViewController) whose view holds `view`; nullptr for another
// type or when no such home holds it. The homes' panes open their pages on
// its navigation controller.
std::shared_ptr<PartyHomeViewController> homeOfType(const ui::View& view, const std::string& type);

// The right bar item of the module's screens ("head_right.png", 21 x 23),
// which does nothing; the system bar that would show it stays hidden.
std::shared_ptr<ui::BarButtonItem> homesRightItem();
