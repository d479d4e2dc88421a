// "直通党代表": the representatives of one county as a paged grid of photo
// tiles (20 a page; pull down for page "1" again, pull up for the next),
// through the paged list's tile-grid mode. A tile opens the
// representative's page for a logged-in member; anyone else is asked to log
// in first ("现在去登录" shows the login overlay under the top bar) and then
// taps the tile again.
//
//   auto list = ui::create<RepresentativeListViewController>();
//   list->org_id = countyId;
//   nav->pushViewController(list, true);
#pragma once

#include <memory>
#include <string>

#include "app/framework/BaseScreen.h"
#include "app/framework/PagedList.h"
#include "app/shell/LoginViewController.h"
#include "app/widgets/NavBarView.h"
#include "service/VoVaClient.h"
#include "uikit/Alert.h"
#include "uikit/Button.h"
#include "uikit/ScrollView.h"

class RepresentativeListViewController : public BaseScreen, public PPClientDelegate, public ui::AlertViewDelegate {
public:
    void viewDidLoad() override;

    // Set by the opener: the county.
    std::string org_id;

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<LoginViewController> loginview;
    // The representatives loaded so far (mdataArray), pageNo and the refresh views.
    std::shared_ptr<PagedList> list;

    // A representative's tile.
    void Actions(std::shared_ptr<ui::Button> sender);
    // The login question: "现在去登录" (index 1) shows the login overlay.
    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kPageSize = "20";
};
