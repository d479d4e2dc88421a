// The policy answers (政策答疑): the articles of the opener's category,
// newest first, ten to a page; a row pushes the answer.
#pragma once

#include <memory>
#include <string>

#include "app/framework/ArticleScreen.h"
#include "app/framework/ListScreen.h"

// One policy answer: title, time and the HTML body.
class ZCDYDetailViewController : public ArticleScreen {
public:
    static constexpr const char* kTitle = "政策答疑";

protected:
    Page page() const override { return {.title = kTitle, .picturesCover = false}; }
};

// The list of the opener's category (category_code); a row pushes the answer.
class ZCDYViewController : public ArticleList<ZCDYDetailViewController> {
public:
    static constexpr double kRowHeight = 60;
};
