#include "app/widgets/Treeview.h"

#include <algorithm>

void Treeview::init(const ui::Rect& frame) {
    ui::View::init(frame);

    signimagev = ui::create<ui::ImageView>(ui::Rect{5, 5, 20, 20});
    signimagev->setImage(ui::Image::imageNamed("you.png"));
    signimagev->setUserInteractionEnabled(true);
    addSubview(signimagev);

    selectimagev = ui::create<ui::ImageView>(ui::Rect{ui::maxX(signimagev->frame()) + 8, 5, 20, 20});
    selectimagev->setImage(ui::Image::imageNamed("no_shangji.png"));
    addSubview(selectimagev);

    double nameX = ui::maxX(selectimagev->frame()) + 5;
    nameLabel = ui::create<ui::Label>(ui::Rect{nameX, 5, std::max(0.0, frame.size.width - nameX - 5), 20});
    nameLabel->setFont(ui::Font::systemFontOfSize(12));
    nameLabel->setBackgroundColor(ui::Color::clearColor());
    addSubview(nameLabel);
}
