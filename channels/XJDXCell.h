// The advanced-models row: the news row (thumbnail, bold title, grey summary,
// separator) with the like count beside a thumb icon at the lower right.
#pragma once

#include <memory>
#include <string>

#include "channels/SSXWCell.h"

class XJDXCell : public SSXWCell {
public:
    using SSXWCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::Label> support_countLabel;
    std::shared_ptr<ui::ImageView> likeIcon;

    static constexpr const char* kIdentifier = "cell";
    static constexpr const char* kPlaceholder = "test_adv_item.jpg";
};
