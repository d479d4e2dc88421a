// A row of the supply-and-demand list: picture, title, price, quantity,
// views, messages and place of origin of one product.
#pragma once

#include <memory>
#include <string>

#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class PartyCell : public ui::TableViewCell {
public:
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::ImageView> headimagev;
    std::shared_ptr<ui::Label> titleLabel, priceLabel, countLabel, click_numLabel, Leave_mesgLabel,
        product_addressLabel;

    static constexpr const char* kIdentifier = "cell";
    static constexpr double kHeight = 110;
};
