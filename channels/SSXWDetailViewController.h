// One current-affairs article: its title, author and time, and its body in an
// HTMLArticleView that fades in and is sized to its content once laid out. A
// touched picture opens full screen. The comment bar at the bottom starts a
// comment and opens the article's comment list ("查看评论").
//
//   auto detail = ui::create<SSXWDetailViewController>();
//   detail->article_id = record["id"].text();     // before the view loads
//   detail->islogin = islogin;
//   navigationController()->pushViewController(detail, true);
#pragma once

#include "channels/CommentBar.h"

class SSXWDetailViewController : public CommentedArticleScreen {
protected:
    Page page() const override { return {.title = "时事新闻", .footBar = true, .authorLine = true, .showsResult = false}; }
};
