// What the petition screens share: the handling-row cell and the labels of a
// petition record (title and type, time, text, state, organisation,
// submitter and the "处理情况:" heading).
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"
#include "uikit/View.h"

// A handling step: "处理人:%@ 操作:%@" above, "处理内容:%@" below.
class ReplyCell : public ui::TableViewCell {
public:
    using ui::TableViewCell::init;
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> contentLabel;

    static constexpr const char* kIdentifier = "XinShengTableViewCell";
    static constexpr double kFontSize = 13;
};

// The cell of a handling record, dequeued from the table or new, its texts set.
std::shared_ptr<ReplyCell> makeReplyCell(const std::shared_ptr<ui::TableView>& table, const ns::Value& handle);

// The labels of a petition record, all system font 12 on a clear background.
struct PetitionLabels {
    std::shared_ptr<ui::Label> titleLabel, timeLabel, contentLabel, stateLabel, ogrLabel, userLabel, resultLabel;

    // Adds the labels to `parent` at the given heights of the three
    // multi-line labels (title, text, organisation), each 5 below the last.
    void build(const std::shared_ptr<ui::View>& parent, double width, double contentHeight, double orgHeight);
    // The texts of a petition record.
    void fill(const ns::Value& record);
    // The bottom of the last label.
    double bottom() const;
};

namespace petition {
inline constexpr const char* kDetailTitle = "群众心声详情";
inline constexpr const char* kHandlingHeading = "处理情况:";
inline constexpr const char* kLoadFailed = "加载失败！";
inline constexpr const char* kLoaded = "加载成功！";
inline constexpr const char* kLoading = "加载中...";
inline constexpr float kResultDelay = 0.75f;
}  // namespace petition
