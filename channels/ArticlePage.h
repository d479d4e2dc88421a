// The top of every article page: the top bar, the scrolling body under it,
// and the title, time line and rule at the head of the body.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/View.h"

struct ArticlePage {
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
};

// Adds the views to `host`; the body scrolls from y 64 and is `bodyHeight` high.
ArticlePage buildArticlePage(ui::View& host, const std::string& title,
                             const std::shared_ptr<NavBarViewDelegate>& barDelegate, double bodyHeight);
