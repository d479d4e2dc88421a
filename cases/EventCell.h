// The three-line row of the grid's event list and of the address book: a
// title line with two smaller lines under it. The screens fill the labels.
#pragma once

#include <memory>
#include <string>

#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class EventCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> peopleLabel;
    std::shared_ptr<ui::Label> addressLabel;
};
