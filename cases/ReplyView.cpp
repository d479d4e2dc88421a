#include "cases/ReplyView.h"

#include "app/widgets/Controls.h"
#include "app/shell/Utils.h"
#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

namespace {


}  // namespace

void ReplyView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
    setUserInteractionEnabled(true);
    const double fw = frame.size.width;

    contentView = ui::create<ui::TextView>(ui::Rect{10, 10, fw - 20, 60});
    contentView->layer().setBorderColor(ui::Color::lightGrayColor());
    contentView->layer().setBorderWidth(1);
    contentView->setDelegate(sharedAs<ui::TextViewDelegate>());
    addSubview(contentView);

    const double x1 = static_cast<float>((fw - 160) / 3);
    submitButton = makeImageButton(ui::Rect{x1, 80, 80, 30}, "提交");
    submitButton->addTarget(this, &ReplyView::sumitContent, ui::ControlEventTouchUpInside);
    addSubview(submitButton);
    closeButton = makeImageButton(ui::Rect{2 * x1 + 80, 80, 80, 30}, "关闭");
    closeButton->addTarget(this, &ReplyView::closeContent, ui::ControlEventTouchUpInside);
    addSubview(closeButton);
}

void ReplyView::sumitContent() {
    const std::string text = contentView->text();
    if (text.empty()) {
        Utils::showAlert(kEmptyText);
        return;
    }
    if (auto d = delegate()) d->sumitReplyContent(text);
}

void ReplyView::closeContent() {
    if (auto d = delegate()) d->closeReplyContent();
}

bool ReplyView::textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& textView,
                                                                 ns::Range, const std::string& text) {
    if (text == "\n") {
        textView->resignFirstResponder();
        return false;
    }
    return true;
}
