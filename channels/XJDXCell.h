// The advanced-models row: a 60-point thumbnail, the title in bold, the
// summary in grey below it, and the like count beside a thumb icon at the
// lower right, over a thin separator.
#pragma once

#include <memory>
#include <string>

#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class XJDXCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::ImageView> headimagev;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> subLabel;
    std::shared_ptr<ui::Label> support_countLabel;
    std::shared_ptr<ui::ImageView> likeIcon;

    static constexpr double kHeight = 70;
    static constexpr const char* kIdentifier = "cell";
    static constexpr const char* kPlaceholder = "test_adv_item.jpg";
};
