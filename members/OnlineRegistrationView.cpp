#include "members/OnlineRegistrationView.h"

void OnlineRegistrationView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
}
