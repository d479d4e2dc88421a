// A comment row: author (red), time, likes with a thumbs-up, the comment text
// wrapped over as many lines as it needs, and a rule below it.
//
//   double h = CommentCell::heightForContent(text, width);   // the row's height
//   cell->showComment(record, width);                         // texts and frames
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/Label.h"
#include "uikit/TableViewCell.h"

class CommentCell : public ui::TableViewCell {
public:
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;
    using ui::TableViewCell::init;

    std::shared_ptr<ui::Label> user_nameLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::Label> contentLabel;
    std::shared_ptr<ui::Label> countLabel;
    std::shared_ptr<ui::View> line;

    // Fills the labels from a comment record and lays them out for a screen
    // of that width.
    void showComment(const ns::Value& record, double screenWidth);

    // The comment text's wrapped height, and the row's (that plus 40).
    static double contentHeight(const std::string& content, double screenWidth);
    static double rowHeight(const ns::Value& record, double screenWidth);

    static constexpr const char* kIdentifier = "cell";
};
