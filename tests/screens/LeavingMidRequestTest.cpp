// Leaving a screen while its request is out, as a user does it: the back
// arrow of its top bar, or "回到首页" in its module's menu. The progress
// overlay the screen put up goes with it, and the reply that comes later
// changes nothing.
#include <gtest/gtest.h>

#include <functional>

#include "support/ModuleTest.h"

#include "app/framework/OrgViewController.h"
#include "cases/DJWGDetailViewController.h"
#include "cases/DqFrontViewController.h"
#include "cases/DqRearViewController.h"
#include "cases/EventDetailViewController.h"
#include "cases/MYDCViewController.h"
#include "cases/XinShengDetailViewController.h"
#include "channels/AudioDetailViewController.h"
#include "channels/CommentViewController.h"
#include "channels/QZLXDetailViewController.h"
#include "channels/SSXWDetailViewController.h"
#include "channels/SSZTFrontViewController.h"
#include "channels/SSZTRearViewController.h"
#include "members/LiabilityViewController.h"
#include "members/PartyDetailViewController.h"
#include "members/QuorvelPartViewController.h"
#include "members/SignListViewController.h"
#include "members/TextView.h"
#include "members/VUDIRearViewController.h"

using namespace moduletest;

namespace {

enum class Leave { Back, Home };

class LeavingMidRequestTest;

// What the user opens and does until the overlay shows `status`; the
// requests that must not answer yet are held.
struct Case {
    const char* name;  // what the user was doing
    const char* status;
    Leave leave;
    std::function<std::shared_ptr<ui::ViewController>(LeavingMidRequestTest&)> open;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class LeavingMidRequestTest : public ModuleTest, public testing::WithParamInterface<Case> {
public:
    using ModuleTest::driver;
    using ModuleTest::settle;
    using ModuleTest::serveArticlePages;
    using ModuleTest::servePetitionPages;
    using ModuleTest::settleService;
    using ModuleTest::svc;

    void SetUp() override {
        ModuleTest::SetUp();
        storeMember();
        setToday(2015, 9, 10);
        holdTheRest();
    }
    // From now on only what was scripted before answers; the rest waits.
    void holdTheRest() {
        svc.handleOthers([](const LoopbackService::Received&) { return LoopbackService::held(); });
    }
    // Nothing answers any more until released.
    void holdEverything() {
        svc.clearReplies();
        holdTheRest();
    }

    // The screen pushed over the home stub, with its bar hidden as the modules keep it.
    template <typename T>
    std::shared_ptr<T> pushed(const std::function<void(T&)>& configure = {}) {
        auto screen = ui::create<T>();
        if (configure) configure(*screen);
        showPushed(screen);
        nav->setNavigationBarHidden(true, false);
        return screen;
    }
    // The screen in front of its module, with the module's menu behind it.
    std::shared_ptr<ui::ViewController> inModule(const std::shared_ptr<ui::ViewController>& front,
                                                 const std::shared_ptr<ui::ViewController>& rear) {
        reveal = openModule(front, rear);
        return front;
    }
    bool overlayShows(const std::string& status) {
        return driver->waitUntil([&] { return ProgressHUD::isVisible() && ProgressHUD::currentStatus() == status; });
    }
    // Pulls a list down and waits out the pull's delay.
    void pullToRefresh(const std::shared_ptr<ui::ScrollView>& table) {
        pullDown(table);
        driver->advance(2.0);
    }

    void leave(const Case& c, const std::shared_ptr<ui::ViewController>& screen) {
        if (c.leave == Leave::Back) {
            auto bar = driver->findView<NavBarView>(
                [&](NavBarView& v) { return v.isDescendantOfView(screen->view().get()) && !v.leftButton->isHidden(); });
            ASSERT_TRUE(bar) << "no back arrow";
            driver->tap(bar->leftButton);
        } else {
            openMenu(reveal);
            ASSERT_TRUE(driver->tapText(RearMenu::kHomeTitle));
        }
        driver->advance(ui::ViewController::kTransitionDuration);
    }

    std::shared_ptr<RevealController> reveal;
};

template <typename T>
std::shared_ptr<ui::ViewController> article(LeavingMidRequestTest& t) {
    return t.pushed<T>([](T& s) { s.article_id = "8"; });
}

const Case kCases[] = {
    {"CurrentAffairsArticle", "加载中...", Leave::Back, article<SSXWDetailViewController>},
    {"RegionalArticle", "加载中...", Leave::Back, article<QZLXDetailViewController>},
    {"AudioLesson", "加载中...", Leave::Back, article<AudioDetailViewController>},
    {"CommentList", "加载中...", Leave::Back, article<CommentViewController>},
    {"CommentBeingPosted", "评论中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         ns::UserDefaults::standardUserDefaults()->setBool(true, "LoginState");
         t.svc.reply("GetCommentList", commentPage(1, 2));
         auto screen = t.pushed<CommentViewController>([](CommentViewController& s) { s.article_id = "8"; });
         t.settle(screen);
         t.driver->typeText(screen->commentFiled, "好");
         t.driver->tap(t.driver->findView<ui::Button>([&](ui::Button& b) {
             return b.currentTitle() == "评论" && b.isDescendantOfView(screen->NewcommentView.get());
         }));
         return screen;
     }},
    {"SignInBeingSent", "签到中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         t.svc.reply("GetSign", monthReply("2015-09", {}));
         t.svc.reply("GetUserConfig", R"({"records":{}})");
         auto screen = t.pushed<SignListViewController>();
         t.settleService();
         t.driver->tap(screen->signButton);
         return screen;
     }},
    {"SupplyDisclaimer", "加载中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> { return t.pushed<LiabilityViewController>(); }},
    {"ProductDetail", "加载中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         return t.pushed<PartyDetailViewController>([](PartyDetailViewController& s) { s.partyID = "9"; });
     }},
    {"Petition", "加载中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         return t.pushed<XinShengDetailViewController>([](XinShengDetailViewController& s) { s.feel_id = "3"; });
     }},
    {"GridEvent", "加载中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         return t.pushed<EventDetailViewController>([](EventDetailViewController& s) { s.eventID = "4"; });
     }},
    {"GridOrganisation", "加载中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         return t.pushed<DJWGDetailViewController>([](DJWGDetailViewController& s) {
             s.setMsgDit(ns::Value::dictionary({{"id", "5"}, {"name", "一支部"}}));
         });
     }},
    {"OrganisationPicker", "加载中...", Leave::Back,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> { return t.pushed<OrgViewController>(); }},
    {"OpinionSurveyPage", "加载中...", Leave::Home,
     [](LeavingMidRequestTest& t) {
         ui::WebView::setManualLoading(true);
         return t.inModule(ui::create<MYDCViewController>(), ui::create<DqRearViewController>());
     }},
    {"PetitionSearch", "搜索中...", Leave::Home,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         t.servePetitionPages();
         auto list = ui::create<DqFrontViewController>();
         t.inModule(list, ui::create<DqRearViewController>());
         t.settle(list);
         t.holdEverything();
         t.driver->typeText(list->phoneField, "13900000000");
         t.driver->pressReturn();
         return list;
     }},
    {"NewsListRefreshing", "加载中...", Leave::Home,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         t.serveArticlePages();
         auto list = ui::create<SSZTFrontViewController>();
         t.inModule(list, ui::create<SSZTRearViewController>());
         t.settle(list);
         t.holdEverything();
         t.pullToRefresh(list->mtableview);
         return list;
     }},
    {"OrganisationalLifeRefreshing", "加载中...", Leave::Home,
     [](LeavingMidRequestTest& t) -> std::shared_ptr<ui::ViewController> {
         auto defaults = ns::UserDefaults::standardUserDefaults();
         defaults->setObject(ns::Value("9"), TextView::kQuorvelKey);
         t.svc.reply("GetOrgLifeList", listReply(articlePage(1, 2)));
         auto home = ui::create<QuorvelPartViewController>();
         t.inModule(home, ui::create<VUDIRearViewController>());
         t.driver->tap(home->shenghuoBt);
         EXPECT_TRUE(t.driver->waitUntil([&] { return home->orgLifeview->mdataArray().count() == 2; }));
         t.holdEverything();
         t.pullToRefresh(home->orgLifeview->mtableview);
         return home;
     }},
};

TEST_P(LeavingMidRequestTest, LeavingTakesTheOverlayAlong) {
    const Case& c = GetParam();
    {
        auto screen = c.open(*this);
        ASSERT_TRUE(overlayShows(c.status));
        leave(c, screen);
    }
    EXPECT_FALSE(ProgressHUD::isVisible());
    // The replies that come after find nothing to close or to fill.
    svc.release();
    settleService();
    EXPECT_FALSE(ProgressHUD::isVisible());
}

INSTANTIATE_TEST_SUITE_P(Screens, LeavingMidRequestTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
