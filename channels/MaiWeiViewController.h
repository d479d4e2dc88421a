// "先锋Velmarsh": the organisation's Mervio public account, seven pictures
// paged sideways under a top bar with the dots of a page control. The
// seventh picture leads into Mervio: a touch opens the Mervio app when it is
// installed, else offers to install it ("您没有安装迈维，现在去安装"; "确定"
// opens its App Store page). The home screen presents the page inside a
// navigation controller of its own; the back arrow dismisses that.
//
//   home->presentViewController(
//       ui::create<ui::NavigationController>(ui::create<MaiWeiViewController>()), true);
#pragma once

#include <memory>
#include <vector>

#include "app/framework/BaseScreen.h"
#include "app/widgets/NavBarView.h"
#include "uikit/Alert.h"
#include "uikit/ImageView.h"
#include "uikit/PageControl.h"
#include "uikit/ScrollView.h"

class MaiWeiViewController : public BaseScreen,
                             public ui::ScrollViewDelegate,
                             public ui::AlertViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> mscrview;
    std::shared_ptr<ui::PageControl> pageControl;
    std::vector<std::shared_ptr<ui::ImageView>> pictures;  // "maiwei1.png" ... "maiwei7.png"

    // The back arrow: the presented navigation controller goes.
    void back() override;
    // The seventh picture's tap.
    void jumpMaiwei();
    // The page whose middle is nearest shows as the current dot.
    void scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) override;
    // The install offer: "确定" (index 1) opens the App Store page.
    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;

    static constexpr int kPictures = 7;
};
