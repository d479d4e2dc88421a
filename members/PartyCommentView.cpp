#include "members/PartyCommentView.h"

#include "app/Records.h"
#include "uikit/TableViewCell.h"

void PartyCommentView::init(const ui::Rect& frame, const std::shared_ptr<ui::ViewController>& host) {
    ui::View::init(frame);
    parent_ = host;
    setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    const double w = frame.size.width;
    const double h = frame.size.height;
    commenttableview = ui::create<ui::TableView>(ui::Rect{0, 0, w, h - 50}, ui::TableViewStylePlain);
    commenttableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    commenttableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    commenttableview->setHidden(true);
    addSubview(commenttableview);
}

void PartyCommentView::setCommentArray(const ns::Value& messages) {
    commentArray_ = records::array(messages);
    commenttableview->setHidden(commentArray_.count() == 0);
}

long PartyCommentView::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(commentArray_.count());
}

std::shared_ptr<ui::TableViewCell> PartyCommentView::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    auto cell = table->dequeueReusableCellWithIdentifier("cell");
    if (!cell) cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "cell");
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    ns::Value message = commentArray_.at(static_cast<std::size_t>(ip.row));
    if (cell->textLabel()) cell->textLabel()->setText(records::text(message, "comment_content"));
    return cell;
}

double PartyCommentView::tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                           const ui::IndexPath&) {
    return 90.5;
}
