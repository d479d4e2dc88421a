// The front screen of the current-affairs module: the "shishixinwen" articles,
// newest first, ten to a page, with pull-down refresh and pull-up load-more.
// A row pushes the article on the screen's navigation controller.
//
//   auto front = ui::create<SSZTFrontViewController>();
//   auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front),
//                                              ui::create<SSZTRearViewController>());
#pragma once

#include "app/framework/ListScreen.h"

class SSZTFrontViewController : public ListScreen {
public:
    // ---- Set by the opener (optional) ----
    bool islogin = false;  // handed on to the article
    // category_code is kept; the list always shows "shishixinwen".

    static constexpr const char* kTitle = "时事新闻";
    static constexpr const char* kCategory = "shishixinwen";
    static constexpr double kResultDelay = 0.5;

protected:
    Options options() const override {
        return {.title = kTitle, .rowHeight = 70, .resultDelay = kResultDelay, .fragmentReply = true,
                .replyLog = "reo==%@"};
    }
    std::string listCategory() const override { return kCategory; }
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};
