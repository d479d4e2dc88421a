// The page control: a row of dots, one per page, the current one marked.
// A tap on the left or right half turns one page back or forward and sends
// ValueChanged.
#pragma once

#include "uikit/Color.h"
#include "uikit/Control.h"

namespace ui {

class PageControl : public Control {
public:
    int numberOfPages() const { return pages_; }
    void setNumberOfPages(int n);
    int currentPage() const { return current_; }
    // Clamped to the pages there are.
    void setCurrentPage(int page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool h) { hidesForSinglePage_ = h; }
    Color pageIndicatorTintColor() const { return dotColor_; }
    void setPageIndicatorTintColor(const Color& c) { dotColor_ = c; }
    Color currentPageIndicatorTintColor() const { return currentDotColor_; }
    void setCurrentPageIndicatorTintColor(const Color& c) { currentDotColor_ = c; }

    Size sizeForNumberOfPages(int pages) const;
    Size sizeThatFits(Size) const override { return sizeForNumberOfPages(pages_); }
    void touchesEnded(const TouchSet& touches, Event* event) override;
    std::string debugText() const override;

    static constexpr double kDotSize = 7;
    static constexpr double kDotSpacing = 9;

private:
    int pages_ = 0;
    int current_ = 0;
    bool hidesForSinglePage_ = false;
    Color dotColor_ = Color::colorWithWhite(1, 0.2);
    Color currentDotColor_ = Color::whiteColor();
};

}  // namespace ui
