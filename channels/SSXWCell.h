// The news row: a 60-point thumbnail on the left, the title in bold beside it
// and the summary in grey below the title, over a thin separator.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"
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

// A news row of the table (reused by kIdentifier) for an article record: its
// "img_url" picture (the placeholder until it comes), "title" and "zhaiyao".
std::shared_ptr<SSXWCell> thumbnailRow(const std::shared_ptr<ui::TableView>& table, const ns::Value& record);
