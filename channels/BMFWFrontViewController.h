// The convenience-services module: the directory of outside links under a top
// bar whose back arrow returns home, and the module's slide menu.
//
//   homeNav->pushViewController(ui::create<BMFWFrontViewController>(), true);
#pragma once

#include <memory>

#include "app/widgets/NavBarView.h"
#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "channels/MinBingView.h"

class BMFWFrontViewController : public SystemViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<MinBingView> minbinview;


    static constexpr const char* kTitle = "便民服务";
};

// The module's menu: home, the older news screen, and two rows that only take
// the highlight. No screen opens it.
class BMFWRearViewController : public RearMenuScreen {
protected:
    std::vector<RearMenu::Row> menuRows() override;
};
