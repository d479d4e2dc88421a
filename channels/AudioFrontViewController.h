// The audio and video lesson module: its menu of six categories and the
// category's paged list of lesson articles. Every category row builds a new
// list in front, also for the category already shown; a row of the list
// pushes the item (AudioDetailViewController).
//
//   auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(someFront),
//                                              ui::create<AudioRearViewController>());
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/ListScreen.h"
#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class AudioRearViewController : public RearMenuScreen {
public:
    void viewDidLoad() override;

protected:
    std::vector<RearMenu::Row> menuRows() override;
    RearMenu::Options menuOptions() const override {
        return {.swapByClass = false, .homeWithoutContainer = true};
    }
};

class AudioFrontViewController : public ListScreen {
public:
    // ---- Set by the menu before the view loads ----
    // category_code: the category the pages ask for.
    std::string Navtitle;
    bool islogin = false;  // kept

    static constexpr double kResultDelay = 0.5;

protected:
    Options options() const override {
        return {.title = Navtitle, .rowHeight = 70, .resultDelay = kResultDelay, .fragmentReply = true,
                .replyLog = "reo==%@"};
    }
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};
