// One 30-point row of an organisation tree: an expand arrow that takes
// touches, a tick box 8 points right of it and the name. The owner sets the
// pictures, the text and the gesture recognisers.
#pragma once

#include <memory>

#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/View.h"

class Treeview : public ui::View {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<ui::ImageView> signimagev;
    std::shared_ptr<ui::ImageView> selectimagev;
    std::shared_ptr<ui::Label> nameLabel;

    static constexpr double kRowHeight = 30;
};
