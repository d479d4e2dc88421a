// Set-up for the channel screens' tests: a fresh application with a visible
// key window, the manual clock, the loopback service as the endpoint, and a
// table that fails the test when it shows a row its data source no longer has.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/widgets/ProgressHUD.h"
#include "foundation/Format.h"
#include "foundation/Value.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/TableView.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace chtest {

// A page of article records: ids "<page>-<i>", titles "标题<page>-<i>".
inline ns::Value articlePage(int page, int size = 10) {
    ns::Value rows = ns::Value::array();
    for (int i = 1; i <= size; ++i) {
        std::string id = ns::format("%d-%d", page, i);
        rows.push(ns::Value::dictionary({{"id", id},
                                         {"title", "标题" + id},
                                         {"zhaiyao", "摘要" + id},
                                         {"img_url", ns::Value::null()},
                                         {"add_time", "2014-05-14"}}));
    }
    return rows;
}

inline std::string listReply(const ns::Value& rows) {
    return JSONRepresentation(ns::Value::dictionary({{"state", "successful"}, {"records", rows}}));
}

// The page a list request asked for ("page_index", 0 when absent).
inline int requestedPage(const LoopbackService::Received& r) {
    return static_cast<int>(r.argument["page_index"].integerValue());
}

// Pulls the table down past the header's mark and lets go.
inline void pullDown(const std::shared_ptr<ui::TableView>& table) { table->simulateDrag(ui::Point{0, 80}); }
// Pulls the table's bottom edge up past the footer's mark and lets go.
inline void pullUp(const std::shared_ptr<ui::TableView>& table) {
    double height = table->frame().size.height;
    double end = std::max(table->contentSize().height, height) - height;
    table->simulateDrag(ui::Point{0, -(end - table->contentOffset().y + 80)});
}

class ChannelsTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        ui::TableView::setStaleRowHandler([](const std::string& message) { ADD_FAILURE() << message; });
        ServiceConfig::setEndpoint(svc.url());
        driver = std::make_unique<ui::TestDriver>();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        ProgressHUD::resetForTesting();
        window.reset();
        driver.reset();
        ui::Application::resetForTesting();
        ServiceConfig::reset();
        ui::TableView::setStaleRowHandler(nullptr);
    }

    // Shows the controller as the window's root.
    void showRoot(const std::shared_ptr<ui::ViewController>& vc) {
        window->setRootViewController(vc);
        ui::Application::sharedApplication().layoutIfNeeded();
    }

    // Every list request answers with the page it asks for; pages beyond
    // `pages` are empty.
    void serveArticlePages(int pages = 100) {
        svc.handle("GetArticleList", [this, pages](const LoopbackService::Received& r) {
            int page = requestedPage(r);
            return svc.result("GetArticleList", listReply(page <= pages ? articlePage(page) : ns::Value::array()));
        });
    }

    // The pages asked for so far, in order.
    std::vector<int> pagesAsked(const std::string& operation = "GetArticleList") const {
        std::vector<int> pages;
        for (const auto& r : svc.requests(operation)) pages.push_back(requestedPage(r));
        return pages;
    }

    bool waitForRequests(const std::string& operation, std::size_t n) {
        return driver->waitUntil([&] { return svc.count(operation) >= n; });
    }

    static void pullDown(const std::shared_ptr<ui::TableView>& table) { chtest::pullDown(table); }
    static void pullUp(const std::shared_ptr<ui::TableView>& table) { chtest::pullUp(table); }

    LoopbackService svc;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
};

}  // namespace chtest
