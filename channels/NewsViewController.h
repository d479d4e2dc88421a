// The news screen of the older current-affairs menu: it asks for the first
// page of "shishixinwen" and shows only its system bar, whose left item opens
// and closes the menu, on a white background. Only RearViewController opens it.
#pragma once

#include <memory>
#include <string>

#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"

class NewsViewController : public SystemViewController, public PPClientDelegate {
public:
    void viewDidLoad() override;

    std::string category_code;  // kept; the request always names "shishixinwen"
    std::shared_ptr<VoVaClient> pp;

    void loadingData(const std::string& page);
    // A 20 x 20 bar button at (8, 10) that opens and closes the menu; unused.
    std::shared_ptr<ui::BarButtonItem> left();
    void revealToggle();

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr float kResultDelay = 0.75f;
};
