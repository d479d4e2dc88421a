// The articles of the current-affairs channels: the record's title, time line
// and rule, and the HTML body, in one scroll view down to the bottom of the
// screen; no comments. The channels differ in their title, in the overlay
// after a good reply and in what a touch on a picture or a link does.
//
//   auto detail = ui::create<VLDTDetailViewController>();
//   detail->article_id = record["id"].text();     // before the view loads
//   navigationController()->pushViewController(detail, true);
//
// A reply without a record leaves the page empty.
#pragma once

#include "app/framework/ArticleScreen.h"

// "Velmarsh动态": pictures open over the page; links are only logged.
class VLDTDetailViewController : public ArticleScreen {
protected:
    Page page() const override { return {.title = "Velmarsh动态", .keepsEmptyPage = true}; }
};

// "领导言论": pictures and links are only logged.
class LDYLDetailViewController : public ArticleScreen {
protected:
    Page page() const override { return {.title = "领导言论", .keepsEmptyPage = true, .picturesCover = false}; }
};

// "干部任免": no result text on the overlay; pictures, and the addresses of
// touched links, open over the page as pictures.
class GBRMDetailViewController : public ArticleScreen {
protected:
    Page page() const override {
        return {.title = "干部任免",
                .showsResult = false,
                .keepsEmptyPage = true,
                .imageLog = "网址imageurl=%@",
                .linksCover = true};
    }
};
