// The news row: a 60-point thumbnail on the left, the title in bold beside it
// and the summary in grey below the title, over a thin separator.
#pragma once

#include <memory>
#include <string>

#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class SSXWCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::ImageView> headimagev;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> subLabel;

    static constexpr double kHeight = 70;
    static constexpr const char* kIdentifier = "SSXWCell";
    static constexpr const char* kPlaceholder = "icon_empty.png";
};
