// The convenience-services directory: every link group the service knows, one
// bordered box per group with its links as a two-column grid of text buttons.
// A touched link opens its address in MinBingDetailViewController.
//
//   minbinview = ui::create<MinBingView>(ui::Rect{0, 64, w, h - 64});   // asks for the groups at once
//   view()->addSubview(minbinview);
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/WebPageScreen.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/View.h"
#include "uikit/WebView.h"

class MoreMinBingviewDelegate {
public:
    virtual ~MoreMinBingviewDelegate() = default;
    // A link record of the box was touched.
    virtual void MinBingDetail(const ns::Value& link) = 0;
};

// One group's box: the heading band and a 30-point band per row of two links.
class MoreMinBingview : public ui::View {
public:
    void init(const ui::Rect& frame) override;

    // The link buttons (tag 200 + index) for the records.
    void loadingWithData(const ns::Value& links);
    void ButtonPress(const std::shared_ptr<ui::Button>& button);

    // The height of a box of n links.
    static double heightForLinks(std::size_t n);

    ns::Value minbinAray = ns::Value::array();
    std::weak_ptr<MoreMinBingviewDelegate> delegate;
    std::shared_ptr<ui::Label> titleLabel;

    static constexpr double kRowHeight = 30;
    static constexpr long kFirstTag = 200;
};

class MinBingView : public ui::View, public PPClientDelegate, public MoreMinBingviewDelegate {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> mscrview;
    ns::Value mdataArray = ns::Value::array();

    // The screen hosting the view, found up through the superviews.
    std::shared_ptr<ui::ViewController> viewController() const;

    void GetWebServerContent_success(const std::string& result) override;
    void MinBingDetail(const ns::Value& link) override;

    static constexpr double kGap = 10;
};

// One link's page under the top bar.
class MinBingDetailViewController : public WebPageScreen {
public:
    ns::Value dataDit = ns::Value::dictionary();  // the link record

protected:
    Page page() const override;
    std::string pageURL() const override;
};
