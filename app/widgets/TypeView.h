// The single-choice panel: a heading, a "取消" button and one row per text
// (a selection mark and the text), 50 points apart in a scroll view.
//
//   typeview = ui::create<TypeView>(ui::Rect{0, 64, w, h - 64});
//   typeview->setDelegate(sharedAs<TypeViewDelegate>());
//   typeview->setHidden(true);
//   ...
//   typeview->setHidden(false);
//   typeview->setTitleStr("请选择事件类型");
//   typeview->LoadingWithData(dataArray);      // the panel keeps this very array
//
// A touch on a row's text or mark marks the row and sends TypeContent with
// the text the row shows and its index from 0; the panel stays up (its
// owner hides it). "取消" (cancelView) hides the panel without a choice.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"

class TypeViewDelegate {
public:
    virtual ~TypeViewDelegate() = default;
    // Optional: a row was chosen.
    virtual void TypeContent(const std::string& /*text*/, long /*tag*/) {}
};

class TypeView : public ui::ImageView {
public:
    void init(const ui::Rect& frame) override;
    using ui::ImageView::init;

    std::shared_ptr<TypeViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TypeViewDelegate>& d) { delegate_ = d; }

    const std::string& titleStr() const { return titleStr_; }
    void setTitleStr(const std::string& title);

    // Replaces the rows with one row per element of the array (its text).
    void LoadingWithData(const ns::Value& array);
    // The array last handed in (the same array, not a copy).
    const ns::Value& dataArray() const { return dataArray_; }

    // Hides the panel without a choice.
    void cancelView();

    // The row marked last (-1: none since the rows were loaded).
    long selectedIndex() const { return selected_; }

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Button> cancelButton;
    std::shared_ptr<ui::ScrollView> scrollView;
    // The rows' texts and marks, in order.
    std::vector<std::shared_ptr<ui::Label>> rowLabels;
    std::vector<std::shared_ptr<ui::Button>> rowButtons;

    static constexpr double kRowHeight = 50;
    static constexpr double kHeaderHeight = 44;

private:
    void markTouched(std::shared_ptr<ui::Button> sender);
    void labelTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    void choose(long index);

    std::weak_ptr<TypeViewDelegate> delegate_;
    std::string titleStr_;
    ns::Value dataArray_;
    long selected_ = -1;
};
