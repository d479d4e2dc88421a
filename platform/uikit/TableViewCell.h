// Table cells: a row's view, 320 x 44 when made, with a content view that
// fills it and the standard labels of its style.
//
//   class SSXWCell : public ui::TableViewCell {
//   public:
//       void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override {
//           ui::TableViewCell::init(style, reuseIdentifier);
//           headimagev = ui::create<ui::ImageView>(ui::Rect{5, 5, 60, 60});
//           contentView()->addSubview(headimagev);
//       }
//   };
//   auto cell = ui::create<SSXWCell>(ui::TableViewCellStyleDefault, "SSXWCell");
//
// The table sets the cell's frame to its row when it shows it, so a layout
// made in init uses the width it was made with (320).
#pragma once

#include <memory>
#include <string>

#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/View.h"

namespace ui {

enum TableViewCellStyle {
    TableViewCellStyleDefault = 0,
    TableViewCellStyleValue1,
    TableViewCellStyleValue2,
    TableViewCellStyleSubtitle,
};

enum TableViewCellAccessoryType {
    TableViewCellAccessoryNone = 0,
    TableViewCellAccessoryDisclosureIndicator,
    TableViewCellAccessoryDetailDisclosureButton,
    TableViewCellAccessoryCheckmark,
};

enum TableViewCellSelectionStyle {
    TableViewCellSelectionStyleNone = 0,
    TableViewCellSelectionStyleBlue,
    TableViewCellSelectionStyleGray,
    TableViewCellSelectionStyleDefault,
};

class TableViewCell : public View {
public:
    TableViewCell();
    ~TableViewCell() override;

    void init(const Rect& frame) override;
    // initWithStyle:reuseIdentifier:
    virtual void init(TableViewCellStyle style, const std::string& reuseIdentifier);
    // awakeFromNib: nothing to add here; subclasses may override.
    virtual void awakeFromNib() {}

    TableViewCellStyle cellStyle() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }

    std::shared_ptr<View> contentView() const { return contentView_; }
    std::shared_ptr<Label> textLabel() const { return textLabel_; }
    // nullptr for the default style.
    std::shared_ptr<Label> detailTextLabel() const { return detailTextLabel_; }
    std::shared_ptr<ImageView> imageView() const { return imageView_; }

    TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(TableViewCellAccessoryType t) { accessoryType_ = t; setNeedsLayout(); }
    std::shared_ptr<View> accessoryView() const { return accessoryView_; }
    void setAccessoryView(const std::shared_ptr<View>& v);
    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle s) { selectionStyle_ = s; }
    std::shared_ptr<View> selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(const std::shared_ptr<View>& v) { selectedBackgroundView_ = v; }

    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { setSelected(selected, false); }
    // setSelected:animated: — the base records the state and highlights the labels.
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated);

    // Called by the table before the cell is handed out again.
    virtual void prepareForReuse();

    void layoutSubviews() override;
    void setFrame(const Rect& frame) override;

    // Cells alive now, for tests of reuse.
    static std::size_t liveCount();

    // The width accessories take at the right edge.
    static constexpr double kAccessoryWidth = 33;

private:
    TableViewCellStyle style_ = TableViewCellStyleDefault;
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<Label> detailTextLabel_;
    std::shared_ptr<ImageView> imageView_;
    std::shared_ptr<View> accessoryView_;
    std::shared_ptr<View> selectedBackgroundView_;
    TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryNone;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyleBlue;
    bool selected_ = false;
    bool highlighted_ = false;
};

using TableViewCellPtr = std::shared_ptr<TableViewCell>;

}  // namespace ui
