#include "channels/VLDJRearViewController.h"

#include "app/shell/AppLinks.h"
#include "app/widgets/ProgressHUD.h"
#include "channels/ChannelStyle.h"
#include "channels/VLDJFrontViewController.h"
#include "uikit/NavigationController.h"

std::vector<RearMenu::Row> VLDJRearViewController::menuRows() {
    return {
        RearMenu::bareScreenRow<VLDJFrontViewController>("群众路线"),
        RearMenu::screenRow<ZGYWViewController>("组工要闻",
                                                [](ZGYWViewController& s) { s.category_code = "zugongyaowen"; }),
        RearMenu::screenRow<JCDTViewController>("基层动态",
                                                [](JCDTViewController& s) { s.category_code = "jicengdongtai"; }),
        RearMenu::screenRow<XJDXViewController>("先进典型",
                                                [](XJDXViewController& s) { s.category_code = "xianjindianxing"; }),
        RearMenu::pushRow<VLDJWebViewController>(VLDJWebViewController::kTitle),
        RearMenu::homeRow(),
    };
}

// ---- The fixed page ----

std::string VLDJWebViewController::pageURL() const { return AppLinks::regionalPartyBuildingPage(); }
