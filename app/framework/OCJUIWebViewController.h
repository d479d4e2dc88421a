// The shared web screen: a page at an address under the top bar.
//
//   auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");   // initWithNibName:bundle:
//   web->titleStr = "附件详情";            // may stay empty
//   web->urlStr = record["file_path"].text();
//   navigationController()->pushViewController(web, true);
//
// While a page loads the overlay shows "加载中..."; it closes without a
// result text when the load ends or fails.
#pragma once

#include <string>

#include "app/framework/WebPageScreen.h"

class OCJUIWebViewController : public WebPageScreen {
public:
    using WebPageScreen::init;
    // initWithNibName:bundle: (no bundle).
    void init(const std::string& nibName) { initWithNibName(nibName, nullptr); }

    std::string titleStr;
    std::string urlStr;

protected:
    Page page() const override { return {.title = titleStr, .showsResult = false, .scalesToFit = true}; }
    std::string pageURL() const override { return urlStr; }
};
