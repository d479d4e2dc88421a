// Set-up for the tests of the module screens (channels, cases, members): a
// fresh application with a visible key window on the manual clock, the
// loopback service as the endpoint, no stored login, a navigation controller
// at the window's root (`nav` over `root`), and a table that fails the test
// when it shows a row its data source no longer has. Together with the
// screens' common roads: a module's container on the home navigation
// controller, its menu, pulls on a list, the alerts, the stored member.
//
//   class DirectLineTest : public moduletest::ModuleTest { ... };
//   auto reveal = openModule(front, rear);
//   storeMember();                                  // member "501", 李四
//   serveArticlePages();                            // GetArticleList answers its page
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/framework/RearviewCell.h"
#include "app/framework/Records.h"
#include "app/framework/RevealController.h"
#include "app/shell/Utils.h"
#include "app/widgets/ProgressHUD.h"
#include "app/widgets/ZCDYCell.h"
#include "foundation/DateTime.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "foundation/Value.h"
#include "net/Alert.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/NavigationController.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"
#include "uikit/WebView.h"

namespace moduletest {

class HomeStub : public ui::ViewController {};
class FrontStub : public ui::ViewController {};

// The stored member most tests log in as.
inline constexpr const char* kMemberReply =
    R"({"state":"successful","message":"登录成功","records":{"member_id":"501","uname":"lisi","type":"1",)"
    R"("area_id":"7","real_name":"李四","user_name":"lisi","password":"secret"}})";

inline std::string json(const ns::Value& v) { return JSONRepresentation(v); }

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

// A page of petition records: ids "<page>-<i>".
inline ns::Value petitionPage(int page, int size = 10) {
    ns::Value rows = ns::Value::array();
    for (int i = 1; i <= size; ++i) {
        std::string id = ns::format("%d-%d", page, i);
        rows.push(ns::Value::dictionary({{"id", id},
                                         {"title", "标题" + id},
                                         {"org_name", "机构" + id},
                                         {"content", "内容" + id},
                                         {"user_name", "张三"}}));
    }
    return rows;
}

inline std::string listReply(const ns::Value& rows) {
    return json(ns::Value::dictionary({{"state", "successful"}, {"records", rows}}));
}

// The page a list request asked for ("page_index", 0 when absent).
inline int requestedPage(const LoopbackService::Received& r) {
    return static_cast<int>(r.argument["page_index"].integerValue());
}

// An article reply with a body and its record.
inline std::string articleReply(const std::string& title = "标题", const std::string& content = "<p>正文</p>") {
    ns::Value record = ns::Value::dictionary({{"title", title},
                                              {"user_name", "王五"},
                                              {"add_time", "2014-03-05 10:20"},
                                              {"img_url", ""},
                                              {"channel_id", "12"},
                                              {"content", content}});
    return json(ns::Value::dictionary({{"state", "successful"}, {"records", record}}));
}

// A page of comment records numbered from `first`.
inline std::string commentPage(int first, int count) {
    ns::Value rows = ns::Value::array();
    for (int i = 0; i < count; ++i) {
        rows.push(ns::Value::dictionary({{"user_name", "网友" + std::to_string(first + i)},
                                         {"add_time", "2014-03-05"},
                                         {"support_count", first + i},
                                         {"content", "评论" + std::to_string(first + i)}}));
    }
    return listReply(rows);
}

// A sign-in month reply: the days (1-31) of the month key as sign-in records.
inline std::string monthReply(const std::string& key, std::initializer_list<int> days, const ns::Value& count = {}) {
    ns::Value rows = ns::Value::array();
    for (int d : days) rows.push(ns::Value::dictionary({{"add_time", ns::format("%@-%02d 08:30:00", key, d)}}));
    ns::Value reply = ns::Value::dictionary({{"state", "successful"}, {"records", rows}});
    reply.set("sign_count", count.isNil() ? ns::Value(static_cast<long long>(days.size())) : count);
    return json(reply);
}

// Pulls the list down past the header's mark and lets go.
inline void pullDown(const std::shared_ptr<ui::ScrollView>& list) { list->simulateDrag(ui::Point{0, 80}); }
// Pulls the list's bottom edge up past the footer's mark and lets go.
inline void pullUp(const std::shared_ptr<ui::ScrollView>& list) {
    double height = list->frame().size.height;
    double end = std::max(list->contentSize().height, height) - height;
    list->simulateDrag(ui::Point{0, -(end - list->contentOffset().y + 80)});
}

// The screen at the root of the container's front navigation controller.
inline std::shared_ptr<ui::ViewController> frontRoot(const std::shared_ptr<RevealController>& reveal) {
    auto front = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    return front && !front->viewControllers().empty() ? front->viewControllers().front() : nullptr;
}
template <typename T>
std::shared_ptr<T> frontAs(const std::shared_ptr<RevealController>& reveal) {
    return std::dynamic_pointer_cast<T>(frontRoot(reveal));
}

class ModuleTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        ui::WebView::resetForTesting();
        ui::TableView::setStaleRowHandler([](const std::string& message) { ADD_FAILURE() << message; });
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(svc.url());
        ServiceConfig::setServiceNamespace(svc.serviceNamespace());
        auto defaults = ns::UserDefaults::standardUserDefaults();
        for (const char* key : {"login_flg", "memberDic", "LoginState"}) defaults->removeObjectForKey(key);
        driver = std::make_unique<ui::TestDriver>();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
        root = ui::create<ui::ViewController>();
        nav = ui::create<ui::NavigationController>(root);
        window->setRootViewController(nav);
    }
    void TearDown() override {
        ns::RunLoop::main().drain();
        ProgressHUD::resetForTesting();
        ui::WebView::resetForTesting();
        homeNav.reset();
        nav.reset();
        root.reset();
        window.reset();
        driver.reset();
        ui::Application::resetForTesting();
        net::setAlertPresenter({});
        ServiceConfig::reset();
        ui::TableView::setStaleRowHandler(nullptr);
    }

    // ---- Screens ----
    // Shows the controller as the window's root.
    void showRoot(const std::shared_ptr<ui::ViewController>& vc) {
        window->setRootViewController(vc);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    // The screen alone in a navigation controller (its bar hidden, as the
    // module screens keep it) at the window's root.
    std::shared_ptr<ui::NavigationController> showInNav(const std::shared_ptr<ui::ViewController>& screen,
                                                        bool hideBar = true) {
        nav = ui::create<ui::NavigationController>(screen);
        if (hideBar) nav->setNavigationBarHidden(true, false);
        showRoot(nav);
        return nav;
    }
    // The screen pushed over a home stub.
    void showPushed(const std::shared_ptr<ui::ViewController>& screen) {
        showInNav(ui::create<HomeStub>());
        nav->pushViewController(screen, false);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    // A new T pushed on `nav`.
    template <typename T>
    std::shared_ptr<T> push() {
        auto screen = ui::create<T>();
        nav->pushViewController(screen, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        return screen;
    }
    // A new T, given its fields by `setUp`, pushed on `nav` once `operation`
    // is set to answer `reply`.
    template <typename T>
    std::shared_ptr<T> pushAnswered(const std::string& operation, const std::string& reply,
                                    const std::function<void(T&)>& setUp = nullptr) {
        svc.reply(operation, reply);
        auto screen = ui::create<T>();
        if (setUp) setUp(*screen);
        nav->pushViewController(screen, false);
        return screen;
    }
    // The container around `front` (in a navigation controller) and `rear`,
    // pushed on the home navigation controller at the window's root.
    std::shared_ptr<RevealController> openModule(const std::shared_ptr<ui::ViewController>& front,
                                                 const std::shared_ptr<ui::ViewController>& rear) {
        homeNav = ui::create<ui::NavigationController>(ui::create<HomeStub>());
        showRoot(homeNav);
        auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
        homeNav->pushViewController(reveal, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        return reveal;
    }
    void openMenu(const std::shared_ptr<RevealController>& reveal) {
        reveal->revealToggle(nullptr);
        driver->advance(SlideRevealController::kToggleDuration);
        ASSERT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    }
    // Opens the module's menu (when it is closed) and touches one of its rows.
    void touchMenuRow(const std::shared_ptr<RevealController>& reveal, const std::shared_ptr<ui::TableView>& menu,
                      long row) {
        if (reveal->currentFrontViewPosition() != FrontViewPositionRight) openMenu(reveal);
        ASSERT_TRUE(menu->tapRowAtIndexPath(ui::IndexPath{0, row}));
        driver->advance(1.0);
    }
    // The row titles of a module's menu.
    static std::vector<std::string> menuTitles(const std::shared_ptr<ui::TableView>& menu) {
        std::vector<std::string> out;
        for (long r = 0; r < menu->numberOfRowsInSection(0); ++r) {
            auto cell = std::dynamic_pointer_cast<RearviewCell>(menu->cellForRowAtIndexPath(ui::IndexPath{0, r}));
            out.push_back(cell ? cell->titleLabel->text() : std::string());
        }
        return out;
    }
    // The screen on top of `screen`'s navigation controller, as T.
    template <typename T>
    static std::shared_ptr<T> pushedOver(const std::shared_ptr<ui::ViewController>& screen) {
        auto nav = screen->navigationController();
        return nav ? std::dynamic_pointer_cast<T>(nav->topViewController()) : nullptr;
    }
    // An article list on the first page that serveArticlePages gives: asked
    // for its category, titled on its top bar, its rows of title and time 60
    // high; its second row pushes a D for article "1-2", which is returned.
    template <typename D, typename L>
    std::shared_ptr<D> expectTitleAndTimeList(const std::shared_ptr<L>& list, const std::string& code,
                                              const std::string& title) {
        EXPECT_TRUE(settle(list));
        auto asked = svc.received("GetArticleList");
        EXPECT_EQ(asked["page_index"].integerValue(), 1);
        EXPECT_EQ(asked["page_size"].integerValue(), 10);
        EXPECT_EQ(asked["parameters"]["category_code"].str(), code);
        EXPECT_EQ(list->naview->titleLabel->text(), title);
        auto table = list->mtableview;
        EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 1}).size.height, 60);
        auto cell = std::dynamic_pointer_cast<ZCDYCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 1}));
        EXPECT_TRUE(cell && cell->titleLabel->text() == "标题1-2" && cell->timeLabel->text() == "时间: 2014-05-14");
        svc.replyOnce("GetArticleRecord", LoopbackService::held());
        EXPECT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
        auto detail = pushedOver<D>(list);
        EXPECT_TRUE(detail && detail->article_id == "1-2") << title;
        return detail;
    }
    // The category the last list request asked for.
    std::string lastCategory(const std::string& operation = "GetArticleList") const {
        return svc.requests(operation).back().argument["parameters"]["category_code"].str();
    }


    // Pulls the list's bottom edge up and waits out the footer's trigger delay.
    void loadNextPage(const std::shared_ptr<ui::ScrollView>& list) {
        pullUp(list);
        driver->advance(2.0);
    }

    // ---- The member and the clock ----
    // A member logged in from an earlier launch (the records of a login reply).
    static void storeMember(const ns::Value& member = records::item(records::parse(kMemberReply))) {
        Utils::saveUserWithMemberData(member, "1");
    }
    static void storeMember(const std::string& id, const std::string& name) {
        storeMember(ns::Value::dictionary({{"member_id", id}, {"real_name", name}}));
    }
    // The manual clock at noon of that local day.
    static void setToday(int year, int month, int day) {
        ns::RunLoop::useManualClock(*ns::dateFromComponents(year, month, day, 12, 0, 0));
    }

    // ---- The service ----
    bool waitForRequests(const std::string& operation, std::size_t n) {
        return driver->waitUntil([&] { return svc.count(operation) >= n; });
    }
    // With `operation` answering `reply` only once released: `touch` sends
    // it, `again` (or `touch` once more) comes while it is on its way and
    // must send nothing; then the reply is let go (as is any held after it).
    // Call under ASSERT_NO_FATAL_FAILURE.
    void touchTwiceWhileHeld(const std::string& operation, SoapServer::Reply reply,
                             const std::function<void()>& touch, const std::function<void()>& again = nullptr) {
        svc.reply(operation, LoopbackService::held(std::move(reply)));
        touch();
        ASSERT_TRUE(waitForRequests(operation, 1));
        (again ? again : touch)();
        settleService(1);
        EXPECT_EQ(svc.count(operation), 1u);
        svc.release();
    }
    // Every list request answers with the page it asks for; pages beyond
    // `pages` are empty.
    void serveArticlePages(int pages = 100, const std::string& operation = "GetArticleList") {
        svc.handle(operation, [this, pages, operation](const LoopbackService::Received& r) {
            int page = requestedPage(r);
            return svc.result(operation, listReply(page <= pages ? articlePage(page) : ns::Value::array()));
        });
    }
    void servePetitionPages(int pages = 100) {
        svc.handle("GetGroupVoice", [this, pages](const LoopbackService::Received& r) {
            int page = requestedPage(r);
            return svc.result("GetGroupVoice", listReply(page <= pages ? petitionPage(page) : ns::Value::array()));
        });
    }
    // The pages asked for so far, in order.
    std::vector<int> pagesAsked(const std::string& operation = "GetArticleList") const {
        std::vector<int> pages;
        for (const auto& r : svc.requests(operation)) pages.push_back(requestedPage(r));
        return pages;
    }
    // Waits until the screen's list has no page request outstanding.
    template <typename S>
    bool settle(const std::shared_ptr<S>& screen) {
        return driver->waitUntil([&] { return screen->list && !screen->list->isLoadingPage(); });
    }
    // Lets the replies on their way arrive and be handled (all but those held).
    void settleService(int stillHeld = 0) { EXPECT_TRUE(driver->waitUntilExchangesSettle(stillHeld)); }
    // Lets replies in flight arrive and the overlay's delays run out.
    void settle() {
        driver->runPending();
        driver->advance(1.0);
    }
    bool hudClosed() {
        return driver->waitUntil([] { return !ProgressHUD::isVisible(); });
    }

    // ---- Alerts ----
    bool waitForAlert() {
        return driver->waitUntil([&] { return driver->topPopup() != nullptr; });
    }
    // The message of the alert on top ("" when none is up).
    std::string alertMessage() const {
        auto popup = driver->topPopup();
        return popup ? popup->messageText() : std::string();
    }
    // The message of the last alert shown ("" when none).
    std::string lastAlertMessage() const {
        auto alert = driver->lastAlert();
        return alert ? alert->message() : std::string();
    }
    // The message of the alert on top ("" when none), which is then closed.
    std::string takeAlert() {
        std::string text = alertMessage();
        if (driver->topPopup()) driver->pressAlertButton(0);
        return text;
    }
    int alertsWithMessage(const std::string& message) const {
        int n = 0;
        for (auto& p : driver->shownPopups()) n += p->messageText() == message ? 1 : 0;
        return n;
    }

    LoopbackService svc;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<ui::NavigationController> homeNav;
};

// The members' screens: the stored member, on 10 September 2015.
class MemberTest : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember();
        setToday(2015, 9, 10);
    }
};

}  // namespace moduletest
