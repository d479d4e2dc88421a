// The single organisation picker: the whole organisation tree (the tree
// pane of the pickers) where one organisation is ticked at a time; "确定"
// hands the owner the organisation ticked last (nil when none was), "取消"
// hides the panel.
//
//   orgView = ui::create<OrgTreeView>(ui::Rect{0, 64, w, 360});   // loads the tree now
//   orgView->setDelegate(sharedAs<OrgTreeViewDelegate>());
//
// Unlike the people picker, the children that opening a row lists keep the
// tick they had, rows of an unknown level show no arrow, and ticking a row
// unticks every other organisation of the tree, listed or not (one that was
// ticked under a branch closed since must not show a second tick when its
// branch is opened again).
#pragma once

#include <memory>

#include "foundation/Value.h"
#include "members/OrgTreePane.h"

class OrgTreeViewDelegate {
public:
    virtual ~OrgTreeViewDelegate() = default;
    // Optional: the organisation node picked ("id", "name", "level", ...), or nil.
    virtual void OrgTreeViewDit(const ns::Value& /*organisation*/) {}
};

class OrgTreeView : public OrgTreePane {
public:
    // The pane at (10, 0, W - 20, 280), "确定" and "取消" below it; sends the
    // tree request.
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<OrgTreeViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<OrgTreeViewDelegate>& d) { delegate_ = d; }

    // The organisation picked last; nil until a pick.
    ns::Value selectDit;

    void selectPeople(std::size_t row) override;
    void subit() override;

private:
    std::weak_ptr<OrgTreeViewDelegate> delegate_;
};
