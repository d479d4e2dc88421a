// A petition row: title and organisation, the text, and the submitter, one
// line each.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"

class XinShengTableViewCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> contentLabel;
    std::shared_ptr<ui::Label> userLabel;

    static constexpr const char* kIdentifier = "XinShengTableViewCell";
    static constexpr double kHeight = 80;
};

// The row of a petition record, dequeued from the table or new: "标题:%@ 机构:%@",
// "内容:%@", "发起人:%@"; disclosure indicator, no selection style.
std::shared_ptr<XinShengTableViewCell> makeXinShengCell(const std::shared_ptr<ui::TableView>& table,
                                                       const ns::Value& record);
