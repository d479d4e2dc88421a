// A row of a module's rear menu: a red mark at the left edge for the
// highlighted row, a hidden arrow, the title and a separator line.
#pragma once

#include <memory>
#include <string>

#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class RearviewCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::ImageView> lineimagev;
    std::shared_ptr<ui::ImageView> detailimagev;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::ImageView> lineView;
};
