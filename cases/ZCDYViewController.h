// The policy answers (政策答疑): the articles of the opener's category,
// newest first, ten to a page; a row pushes the answer.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/HTMLArticleView.h"
#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TableView.h"

class ZCDYViewController : public SystemViewController, public PPClientDelegate, public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::string category_code;  // set by the opener

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void loadingData(const std::string& page) { list->loadingData(page); }
    void revealToggle();
    // A bar item with the "head_right.png" button; the screen does not place it.
    std::shared_ptr<ui::BarButtonItem> right();
    void set() {}

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr double kRowHeight = 60;
};

// One policy answer: title, time and the HTML body.
class ZCDYDetailViewController : public SystemViewController,
                                 public PPClientDelegate,
                                 public NavBarViewDelegate,
                                 public HTMLArticleViewDelegate {
public:
    void viewDidLoad() override;

    std::string article_id;  // set by the opener

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
    std::shared_ptr<HTMLArticleView> HtmlView;

    void back() override;
    std::shared_ptr<ui::BarButtonItem> left();

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    void htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& view, const ns::ErrorPtr& error) override;
    void htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& view, const std::string& imageUrl) override;
    void htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& view, const std::string& linkUrl) override;

    static constexpr const char* kTitle = "政策答疑";
    static constexpr double kFadeDuration = 0.2;

private:
    void layoutBody();
};
