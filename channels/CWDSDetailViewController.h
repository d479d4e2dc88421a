// One article of the party-school lists: the title in bold, the time line, a
// rule and the HTML body in a plain web view that does not scroll by itself.
// Each time a page finishes loading in the web view (the body, or a link
// followed inside it) the web view is stretched to the page's height and the
// outer scroll view scrolls the whole article as one.
//
//   auto detail = ui::create<CWDSDetailViewController>();
//   detail->article_id = record["id"].text();     // before the view loads
//   detail->titleStr = "理论学习";                  // the top bar's text
//   navigationController()->pushViewController(detail, true);
#pragma once

#include <string>

#include "app/framework/ArticleScreen.h"

class CWDSDetailViewController : public ArticleScreen {
public:
    std::string titleStr;  // set by the opener

protected:
    Page page() const override { return {.title = titleStr, .htmlBody = false}; }
};
