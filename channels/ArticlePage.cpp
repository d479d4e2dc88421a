#include "channels/ArticlePage.h"

#include "channels/ChannelStyle.h"
#include "uikit/Color.h"
#include "uikit/Font.h"

ArticlePage buildArticlePage(ui::View& host, const std::string& title,
                             const std::shared_ptr<NavBarViewDelegate>& barDelegate, double bodyHeight) {
    const double w = host.bounds().size.width;
    ArticlePage page;

    page.naview = ui::create<NavBarView>(ui::Rect{0, 0, w, NavBarView::kHeight});
    page.naview->setDelegate(barDelegate);
    page.naview->titleLabel->setText(title);
    host.addSubview(page.naview);

    page.msrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, bodyHeight});
    host.addSubview(page.msrview);

    page.titleLabel = ui::create<ui::Label>(ui::Rect{5, 0, w - 10, 20});
    page.titleLabel->setFont(ui::Font::boldSystemFontOfSize(16));
    page.titleLabel->setNumberOfLines(0);
    page.titleLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    page.msrview->addSubview(page.titleLabel);

    page.timeLabel = ui::create<ui::Label>(ui::Rect{5, 30, w - 10, 15});
    page.timeLabel->setFont(ui::Font::systemFontOfSize(12));
    page.timeLabel->setTextColor(ui::Color::lightGrayColor());
    page.msrview->addSubview(page.timeLabel);

    page.line = ui::create<ui::View>(ui::Rect{5, 50, w - 10, 0.8});
    page.line->setBackgroundColor(channelstyle::kRuleColor);
    page.msrview->addSubview(page.line);
    return page;
}
