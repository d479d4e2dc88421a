// Screens given replies of many records, headless, against the loopback
// service: what the main thread does from the user's touch (or the pull's
// end) until the screen shows the reply, with the rows of the reply before
// still on screen, as they are when a user asks again.
//
// - The people picker's organisation tree: a level-2 organisation with n
//   children opened and closed again (BM_OrgTreeOpenAndClose).
// - The people picker's members: "添加" answered with n members, then
//   "确定" (BM_PeoplePickerAddAndConfirm).
// - The choice panel of the grid event form: n event types
//   (BM_ChoicePanel).
// - Online reading's bookshelf pulled down: n books, each cover loading its
//   picture (BM_BookshelfRefresh).
// - A paged list pulled down: one page of n articles in a table
//   (BM_PagedListRefresh), and one page of n representatives in a grid of
//   photo tiles (BM_PagedGridRefresh).
//
// Each iteration starts from the screen as the last one left it.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchHome.h"
#include "app/widgets/ProgressHUD.h"
#include "app/widgets/TypeView.h"
#include "cases/TryingViewController.h"
#include "channels/OnlineRead.h"
#include "channels/PartySchool.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"
#include "members/OrganizeTreeView.h"
#include "members/RepresentativeListViewController.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/NavigationController.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace {

constexpr double kReplyWait = 600;  // seconds of real time a screen may take to show a reply

std::string listReply(const ns::Value& rows) {
    return JSONRepresentation(ns::Value::dictionary({{"state", "successful"}, {"records", rows}}));
}

// A fresh application with a visible key window on the manual clock, the
// loopback service as the endpoint; everything stopped and reset at the end.
class Stage {
public:
    Stage() {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(svc.url());
        ServiceConfig::setServiceNamespace(svc.serviceNamespace());
        driver = std::make_unique<ui::TestDriver>();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
    }
    ~Stage() {
        ns::RunLoop::main().drain();
        ProgressHUD::resetForTesting();
        window.reset();
        driver.reset();
        ui::Application::resetForTesting();
        ns::RunLoop::resetForTesting();  // the picture downloads too
        ServiceConfig::reset();
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // The screen alone in a navigation controller with its bar hidden.
    void show(const std::shared_ptr<ui::ViewController>& screen) {
        auto nav = ui::create<ui::NavigationController>(screen);
        nav->setNavigationBarHidden(true, false);
        window->setRootViewController(nav);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    bool waitUntil(const std::function<bool()>& condition) { return driver->waitUntil(condition, kReplyWait); }

    BenchHome home;
    LoopbackService svc;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
};

ns::Value org(const std::string& id, int level, ns::Value kids = ns::Value::array()) {
    return ns::Value::dictionary({{"id", id}, {"name", "机构" + id}, {"level", level}, {"child_org", kids}});
}

// The top organisation, open, with two level-2 organisations: "11" with
// `children` level-3 organisations under it, and "12".
std::string treeReply(long children) {
    ns::Value kids = ns::Value::array();
    for (long i = 0; i < children; ++i) kids.push(org(ns::format("11-%ld", i), 3));
    ns::Value top = org("1", 1, ns::Value::array({org("11", 2, kids), org("12", 2)}));
    return listReply(ns::Value::array({top}));
}

std::shared_ptr<OrganizeTreeView> openTree(Stage& s, benchmark::State& state) {
    auto screen = ui::create<ui::ViewController>();
    s.show(screen);
    auto tree = ui::create<OrganizeTreeView>(ui::Rect{0, 64, 320, 400});
    screen->view()->addSubview(tree);
    if (!s.waitUntil([&] { return tree->treeViewArray.size() == 3; })) state.SkipWithError("no tree");
    return tree;
}

void BM_OrgTreeOpenAndClose(benchmark::State& state) {
    const long n = state.range(0);
    Stage s;
    s.svc.reply("GetOrgList", treeReply(n));
    auto tree = openTree(s, state);
    auto tapArrow = [&](std::size_t row) {
        s.driver->fireGesture<ui::TapGestureRecognizer>(tree->treeViewArray.at(row)->signimagev);
    };
    for (auto _ : state) {
        tapArrow(1);
        if (tree->treeViewArray.size() != static_cast<std::size_t>(n) + 3) {
            state.SkipWithError("the organisation did not open");
            break;
        }
        tapArrow(1);
        if (tree->treeViewArray.size() != 3) {
            state.SkipWithError("the organisation did not close");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_OrgTreeOpenAndClose)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PeoplePickerAddAndConfirm(benchmark::State& state) {
    const long n = state.range(0);
    Stage s;
    s.svc.reply("GetOrgList", treeReply(1));
    ns::Value people = ns::Value::array();
    for (long i = 0; i < n; ++i) {
        people.push(ns::Value::dictionary(
            {{"real_name", ns::format("党员%ld", i)}, {"user_name", ns::format("138%08ld", i)}}));
    }
    s.svc.reply("GetOrgUser", listReply(people));
    auto tree = openTree(s, state);
    std::size_t handed = 0;
    struct Owner : OrganizeTreeViewDelegate {
        std::size_t* handed;
        void phoneArray(const ns::Value& members) override { *handed = members.count(); }
    };
    auto owner = std::make_shared<Owner>();
    owner->handed = &handed;
    tree->setDelegate(owner);
    s.driver->fireGesture<ui::TapGestureRecognizer>(tree->treeViewArray.at(1)->selectimagev);
    auto add = [&] {
        const ns::Value before = tree->peopleArray;
        s.driver->tap(tree->addButton);
        return s.waitUntil([&] { return !tree->peopleArray.isSame(before); }) &&
               tree->peopleTicks.size() == static_cast<std::size_t>(n);
    };
    if (!add()) state.SkipWithError("the members did not come");
    for (auto _ : state) {
        if (!add()) {
            state.SkipWithError("the members did not come");
            break;
        }
        s.driver->tap(tree->okButton);
        if (handed != static_cast<std::size_t>(n)) {
            state.SkipWithError("the members were not handed on");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_PeoplePickerAddAndConfirm)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ChoicePanel(benchmark::State& state) {
    const long n = state.range(0);
    Stage s;
    ns::Value types = ns::Value::array();
    for (long i = 0; i < n; ++i) types.push(ns::Value::dictionary({{"key", ns::format("事件类型%ld", i)}}));
    s.svc.reply("GetEnumList", listReply(types));
    auto form = ui::create<TryingViewController>();
    s.show(form);
    auto choose = [&] {
        form->showType();  // what touching the type field does
        return s.waitUntil([&] { return form->typeview->rowLabels.size() == static_cast<std::size_t>(n); });
    };
    if (!choose()) state.SkipWithError("no types");
    for (auto _ : state) {
        if (!choose()) {
            state.SkipWithError("the types did not come");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_ChoicePanel)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BookshelfRefresh(benchmark::State& state) {
    const long n = state.range(0);
    Stage s;
    // Covers of their own addresses, whose pictures never come: the loads
    // stay pending, as on a slow network.
    s.svc.serve("/cover.png", LoopbackService::held());
    ns::Value books = ns::Value::array();
    for (long i = 0; i < n; ++i) {
        books.push(ns::Value::dictionary({{"title", ns::format("书%ld", i)},
                                          {"img_url", ns::format("%@/cover.png?book=%ld", s.svc.baseURL(), i)},
                                          {"file_path", ns::format("http://books.example/%ld.pdf", i)}}));
    }
    s.svc.reply("GetOnlineRead", listReply(books));
    auto shelf = ui::create<ZXCYViewController>();
    s.show(shelf);
    if (!s.waitUntil([&] { return shelf->BookArray.count() == static_cast<std::size_t>(n); })) {
        state.SkipWithError("no books");
    }
    for (auto _ : state) {
        const ns::Value before = shelf->BookArray;
        shelf->refreshView();  // what the pull does once its delay is over
        if (!s.waitUntil([&] { return !shelf->BookArray.isSame(before); })) {
            state.SkipWithError("the books did not come again");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_BookshelfRefresh)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PagedListRefresh(benchmark::State& state) {
    const long n = state.range(0);
    Stage s;
    ns::Value rows = ns::Value::array();
    for (long i = 0; i < n; ++i) {
        rows.push(ns::Value::dictionary({{"id", ns::format("%ld", i)},
                                         {"title", ns::format("标题%ld", i)},
                                         {"add_time", "2014-05-14"}}));
    }
    s.svc.reply("GetArticleList", listReply(rows));
    auto list = ui::create<YDDXFrontViewController>();
    s.show(list);
    if (!s.waitUntil([&] { return list->mdataArray().count() == static_cast<std::size_t>(n); })) {
        state.SkipWithError("no rows");
    }
    for (auto _ : state) {
        list->list->refreshView();
        if (!s.waitUntil([&] { return list->mdataArray().count() == static_cast<std::size_t>(n); })) {
            state.SkipWithError("the rows did not come again");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_PagedListRefresh)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PagedGridRefresh(benchmark::State& state) {
    const long n = state.range(0);
    Stage s;
    ns::Value rows = ns::Value::array();
    for (long i = 0; i < n; ++i) {
        rows.push(ns::Value::dictionary(
            {{"id", i}, {"real_name", ns::format("代表%ld", i)}, {"head_portrait", ns::Value::null()}}));
    }
    s.svc.reply("GetRepresentativeList", listReply(rows));
    auto grid = ui::create<RepresentativeListViewController>();
    s.show(grid);
    auto shown = [&] {
        return s.waitUntil([&] { return grid->list->records().count() == static_cast<std::size_t>(n); });
    };
    if (!shown()) state.SkipWithError("no tiles");
    for (auto _ : state) {
        grid->list->refreshView();
        if (!shown()) {
            state.SkipWithError("the tiles did not come again");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_PagedGridRefresh)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
