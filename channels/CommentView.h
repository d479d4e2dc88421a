// The comment list's header: the article's title, its author and time, and a
// band counting the comments loaded so far.
#pragma once

#include <memory>

#include "uikit/Label.h"
#include "uikit/View.h"

class CommentView : public ui::View {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::Label> countLabel;  // empty until the first page arrives
};
