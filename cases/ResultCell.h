// One handling record of a grid event: handler, opinion, state and time.
#pragma once

#include <memory>
#include <string>

#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class ResultCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::Label> peopleLabel;
    std::shared_ptr<ui::Label> contentLabel;
    std::shared_ptr<ui::Label> stateLabel;
};
