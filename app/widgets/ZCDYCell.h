// A two-line list row: the title above, the time below in light grey, and a
// thin rule at the bottom.
#pragma once

#include <memory>
#include <string>

#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class ZCDYCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> lineView;
};
