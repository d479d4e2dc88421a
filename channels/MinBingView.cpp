#include "channels/MinBingView.h"

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "channels/BMFWFrontViewController.h"
#include "channels/ChannelStyle.h"
#include "uikit/Font.h"
#include "uikit/NavigationController.h"

// ---- MoreMinBingview ----

void MoreMinBingview::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setUserInteractionEnabled(true);
    titleLabel = ui::create<ui::Label>(ui::Rect{0, 5, frame.size.width, 20});
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(14));
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    addSubview(titleLabel);
    layer().setBorderWidth(0.8);
    layer().setBorderColor(channelstyle::kRuleColor);
}

double MoreMinBingview::heightForLinks(std::size_t n) {
    double rows = static_cast<double>(n / 2);
    return kRowHeight * rows + (n % 2 == 1 ? 2 * kRowHeight : kRowHeight);
}

void MoreMinBingview::loadingWithData(const ns::Value& links) {
    minbinAray = records::array(links);
    const double half = frame().size.width * 0.5;
    for (std::size_t i = 0; i < minbinAray.count(); ++i) {
        auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        button->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
        button->setTitle(records::text(minbinAray.at(i), "title"), ui::ControlStateNormal);
        button->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
        button->setFrame(ui::Rect{half * static_cast<double>(i % 2), kRowHeight * static_cast<double>(i / 2) + kRowHeight,
                                  half, kRowHeight});
        button->addTarget(this, &MoreMinBingview::ButtonPress, ui::ControlEventTouchUpInside);
        button->setTag(static_cast<int>(kFirstTag + static_cast<long>(i)));
        addSubview(button);
    }
}

void MoreMinBingview::ButtonPress(const std::shared_ptr<ui::Button>& button) {
    if (!button) return;
    long index = button->tag() - kFirstTag;
    if (index < 0 || static_cast<std::size_t>(index) >= minbinAray.count()) return;
    if (auto d = delegate.lock()) d->MinBingDetail(minbinAray.at(static_cast<std::size_t>(index)));
}

// ---- MinBingView ----

void MinBingView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 0, frame.size.width, frame.size.height});
    addSubview(mscrview);
    pp->getMinBinlink();
}

void MinBingView::GetWebServerContent_success(const std::string& result) {
    // A box per group; a group that is not a record shows as an empty box.
    mdataArray = records::array(records::parse(result), "records");
    const double width = frame().size.width;
    double y = 0;
    for (const auto& group : mdataArray.items()) {
        ns::Value links = records::array(group, "links");
        double height = MoreMinBingview::heightForLinks(links.count());
        auto box = ui::create<MoreMinBingview>(ui::Rect{5, y, width - 10, height});
        box->delegate = weakAs<MoreMinBingviewDelegate>();
        box->titleLabel->setText(records::text(group, "title"));
        mscrview->addSubview(box);
        y += height + kGap;
        box->loadingWithData(links);
    }
    mscrview->setContentSize(ui::Size{width - 10, y + 20});
}

std::shared_ptr<ui::ViewController> MinBingView::viewController() const {
    for (auto v = superview(); v; v = v->superview()) {
        auto next = v->nextResponder();
        if (auto screen = std::dynamic_pointer_cast<BMFWFrontViewController>(next)) return screen;
    }
    return nullptr;
}

void MinBingView::MinBingDetail(const ns::Value& link) {
    auto detail = ui::create<MinBingDetailViewController>();
    detail->dataDit = records::object(link);
    auto host = viewController();
    if (!host) return;
    if (auto nav = host->navigationController()) nav->pushViewController(detail, true);
}

// ---- MinBingDetailViewController ----

WebPageScreen::Page MinBingDetailViewController::page() const { return {.title = BMFWFrontViewController::kTitle}; }

std::string MinBingDetailViewController::pageURL() const { return records::text(dataDit, "site_url"); }
