// The handling panel of a grid event: four mutually exclusive ways of
// handling (办结中, 已办结, 协调件, 上报) and the opinion, handed to the
// delegate on "提交". A new panel starts with 办结中 chosen.
#pragma once

#include <memory>
#include <string>

#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/TextView.h"
#include "uikit/View.h"

class ResultViewDelegate {
public:
    virtual ~ResultViewDelegate() = default;
    // Optional: the opinion and the four flags (exactly one set).
    virtual void resultContent(const std::string& /*content*/, bool /*is_handing*/, bool /*is_handled*/,
                               bool /*is_coordination*/, bool /*is_report*/) {}
};

class ResultView : public ui::View, public ui::TextViewDelegate {
public:
    using ui::View::init;
    void init(const ui::Rect& frame) override;

    std::shared_ptr<ResultViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<ResultViewDelegate>& d) { delegate_ = d; }

    std::shared_ptr<ui::TextView> contentTextview;
    std::shared_ptr<ui::Button> banjieBt, DoneBt, xietiaoBt, shangBaoBt;
    std::shared_ptr<ui::Label> shangBaoLabel;
    std::shared_ptr<ui::Button> submitButton;
    bool is_handing = true;
    bool is_handled = false;
    bool is_coordination = false;
    bool is_report = false;

    void banjieBtPress();
    void DoneBtPress();
    void xietiaoBtPress();
    void shangBaoBtPress();
    void subit();

    static constexpr const char* kChosen = "have_shangji.png";
    static constexpr const char* kNotChosen = "no_shangji.png";
    static constexpr const char* kEmptyOpinion = "请输入处理意见";

private:
    // Sets the flags and the four buttons' marks: 0 handing, 1 handled,
    // 2 coordination, 3 report.
    void choose(int which);
    std::shared_ptr<ui::Button> addChoice(double x, const std::string& caption, void (ResultView::*action)(),
                                          bool chosen, std::shared_ptr<ui::Label>* captionLabel = nullptr);

    std::weak_ptr<ResultViewDelegate> delegate_;
};
