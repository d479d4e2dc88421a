#include "cases/ResultView.h"

#include "app/widgets/Controls.h"
#include "app/shell/Utils.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

namespace {


}  // namespace

void ResultView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
    setUserInteractionEnabled(true);
    is_handing = true;

    makeCaption(ui::Rect{5, 0, 60, 20}, "处理方式:", 12, this);
    banjieBt = addChoice(60, "办结中", &ResultView::banjieBtPress, true);
    DoneBt = addChoice(125, "已办结", &ResultView::DoneBtPress, false);
    xietiaoBt = addChoice(190, "协调件", &ResultView::xietiaoBtPress, false);
    shangBaoBt = addChoice(255, "上报", &ResultView::shangBaoBtPress, false, &shangBaoLabel);

    makeCaption(ui::Rect{5, 40, 60, 20}, "处理意见:", 12, this);
    contentTextview = ui::create<ui::TextView>(ui::Rect{60, 25, 220, 120});
    contentTextview->layer().setBorderWidth(1);
    contentTextview->layer().setBorderColor(ui::Color::colorWithRed(1.0, 0.77, 0.18, 1.0));
    contentTextview->setDelegate(sharedAs<ui::TextViewDelegate>());
    addSubview(contentTextview);

    submitButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    submitButton->setFrame(ui::Rect{(frame.size.width - 150) / 2, 155, 150, 40});
    submitButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    submitButton->setTitle("提交", ui::ControlStateNormal);
    submitButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    submitButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    submitButton->addTarget(this, &ResultView::subit, ui::ControlEventTouchUpInside);
    addSubview(submitButton);
}

std::shared_ptr<ui::Button> ResultView::addChoice(double x, const std::string& text, void (ResultView::*action)(),
                                                  bool chosen, std::shared_ptr<ui::Label>* captionLabel) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{x, 0, 20, 20});
    button->setBackgroundImage(ui::Image::imageNamed(chosen ? kChosen : kNotChosen), ui::ControlStateNormal);
    button->addTarget(this, action, ui::ControlEventTouchUpInside);
    addSubview(button);
    auto label = makeCaption(ui::Rect{x + 25, 0, 40, 20}, text, 12, this);
    if (captionLabel) *captionLabel = label;
    return button;
}

void ResultView::choose(int which) {
    is_handing = which == 0;
    is_handled = which == 1;
    is_coordination = which == 2;
    is_report = which == 3;
    const std::shared_ptr<ui::Button> buttons[] = {banjieBt, DoneBt, xietiaoBt, shangBaoBt};
    for (int i = 0; i < 4; ++i) {
        buttons[i]->setBackgroundImage(ui::Image::imageNamed(i == which ? kChosen : kNotChosen),
                                       ui::ControlStateNormal);
    }
}

void ResultView::banjieBtPress() { choose(0); }
void ResultView::DoneBtPress() { choose(1); }
void ResultView::xietiaoBtPress() { choose(2); }
void ResultView::shangBaoBtPress() { choose(3); }

void ResultView::subit() {
    const std::string& opinion = contentTextview->text();
    if (opinion.empty()) {
        Utils::showAlert(kEmptyOpinion);
        return;
    }
    if (auto d = delegate()) d->resultContent(opinion, is_handing, is_handled, is_coordination, is_report);
}
