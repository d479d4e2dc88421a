#include "members/OrgTreeView.h"

#include "app/framework/Records.h"
#include "foundation/Log.h"

namespace {

// "select" := "0" on every node of the tree below `nodes`.
void untickAll(const ns::Value& nodes) {
    for (ns::Value node : nodes.items()) {
        if (!node.isDictionary()) continue;
        node.set("select", "0");
        untickAll(records::array(node, "child_org"));
    }
}

}  // namespace

void OrgTreeView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double W = frame.size.width;
    setBackgroundColor(ui::Color::whiteColor());
    setUserInteractionEnabled(true);
    buildTree({.paneFrame = ui::Rect{10, 0, W - 20, 280},
               .childrenTakeTick = false,
               .arrowOnOtherLevels = false,
               .treeRequestOnly = true},
              W);
    requestTree();
}

void OrgTreeView::selectPeople(std::size_t index) {
    ns::NSLog("选择人员trview.tag==%d   treeArray.count==%d", static_cast<int>(index),
              static_cast<int>(mdataArray.count()));
    if (index >= mdataArray.count()) return;
    untickAll(FirstLevelArray);
    ns::Value node = mdataArray.at(index);
    if (!node.isDictionary()) return;
    node.set("select", "1");
    selectDit = node;
    loadingData(mdataArray);
}

void OrgTreeView::subit() {
    if (auto d = delegate()) d->OrgTreeViewDit(selectDit);
}
