// The direct line in its container: the petition list's queries (all, by
// mobile number, paging, fresh on return), the login gate of the handling
// list, the menu's swaps, the policy answers and the survey page.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/widgets/ProgressHUD.h"
#include "cases/DqFrontViewController.h"
#include "cases/DqRearViewController.h"
#include "cases/MYDCViewController.h"
#include "cases/Module.h"
#include "cases/MyDoneViewController.h"
#include "cases/XinShengDetailViewController.h"
#include "cases/XinShengTableViewCell.h"
#include "cases/ZCDYViewController.h"
#include "app/widgets/ZCDYCell.h"
#include "foundation/Log.h"

using namespace moduletest;

namespace {

class DirectLineTest : public moduletest::ModuleTest {
protected:
    std::shared_ptr<RevealController> openDirectLine() {
        ModuleRegistry registry;
        registerCasesModule(registry);
        EXPECT_TRUE(registry.dq.isBuilt());
        auto f = registry.dq.front();
        auto r = registry.dq.rear();
        front = std::dynamic_pointer_cast<DqFrontViewController>(f);
        rear = std::dynamic_pointer_cast<DqRearViewController>(r);
        EXPECT_TRUE(front && rear);
        return openModule(f, r);
    }
    bool settle() {
        return driver->waitUntil([&] { return front->list && !front->list->isLoadingPage(); });
    }
    ns::Value lastQuery() const { return svc.received("GetGroupVoice"); }

    std::shared_ptr<DqFrontViewController> front;
    std::shared_ptr<DqRearViewController> rear;
};

TEST_F(DirectLineTest, TileOpensAllPetitionsWithoutAnOverlayAndDrawsTheirRows) {
    servePetitionPages(1);
    ns::LogCapture log;
    openDirectLine();
    EXPECT_EQ(rear->channel_code, "dqzt");
    EXPECT_FALSE(ProgressHUD::isVisible());
    ASSERT_TRUE(settle());
    ns::Value q = lastQuery();
    EXPECT_EQ(q["page_index"].integerValue(), 1);
    EXPECT_EQ(q["page_size"].integerValue(), 10);
    EXPECT_EQ(q["parameters"]["type"].str(), "3");
    EXPECT_FALSE(q["parameters"].has("user_tel"));
    EXPECT_EQ(q["orders"]["add_time"].str(), "desc");
    EXPECT_TRUE(log.contains("reo=="));

    EXPECT_EQ(front->naview->titleLabel->text(), "群众心声");
    EXPECT_EQ(front->phoneField->frame(), (ui::Rect{10, 70, 180, 30}));
    EXPECT_EQ(front->searchButton->frame(), (ui::Rect{195, 70, 40, 30}));
    EXPECT_EQ(front->doneButton->frame(), (ui::Rect{240, 70, 65, 30}));
    auto table = front->mtableview;
    ASSERT_EQ(table->numberOfRowsInSection(0), 10);
    auto cell = std::dynamic_pointer_cast<XinShengTableViewCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 1}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->titleLabel->text(), "标题:标题1-2 机构:机构1-2");
    EXPECT_EQ(cell->contentLabel->text(), "内容:内容1-2");
    EXPECT_EQ(cell->userLabel->text(), "发起人:张三");
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 1}).size.height, 80);
}

TEST_F(DirectLineTest, SearchPagesWithinTheMobileNumberAndAnEmptySearchListsAll) {
    servePetitionPages();
    openDirectLine();
    ASSERT_TRUE(settle());

    ASSERT_TRUE(driver->typeText(front->phoneField, "13800000000"));
    // The search's page waits until the overlay and the emptied table were seen.
    svc.replyOnce("GetGroupVoice", LoopbackService::held(svc.result(
                                       "GetGroupVoice", moduletest::listReply(moduletest::petitionPage(1)))));
    driver->tap(front->searchButton);
    EXPECT_EQ(ProgressHUD::currentStatus(), "搜索中...");
    EXPECT_EQ(front->mtableview->numberOfRowsInSection(0), 0);
    svc.release();
    ASSERT_TRUE(settle());
    EXPECT_EQ(lastQuery()["parameters"]["type"].str(), "1");
    EXPECT_EQ(lastQuery()["parameters"]["user_tel"].str(), "13800000000");

    loadNextPage(front->mtableview);
    ASSERT_TRUE(settle());
    EXPECT_EQ(lastQuery()["page_index"].integerValue(), 2);
    EXPECT_EQ(lastQuery()["parameters"]["user_tel"].str(), "13800000000");
    EXPECT_EQ(front->mdataArray().count(), 20u);

    // The return key searches too; an emptied field goes back to every petition.
    front->phoneField->setText("");
    ASSERT_TRUE(driver->typeText(front->phoneField, "\n"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(lastQuery()["parameters"]["type"].str(), "3");
    EXPECT_EQ(lastQuery()["page_index"].integerValue(), 1);
    EXPECT_EQ(front->pageNo(), 1);
}

TEST_F(DirectLineTest, ReturningFromAPetitionShowsAFreshFirstPage) {
    servePetitionPages();
    svc.reply("GetGroupVoiceRecord", R"({"records":{"title":"t","feel_handle":[]}})");
    openDirectLine();
    ASSERT_TRUE(settle());
    for (int i = 0; i < 2; ++i) {
        loadNextPage(front->mtableview);
        ASSERT_TRUE(settle());
    }
    EXPECT_EQ(front->pageNo(), 3);

    ASSERT_TRUE(front->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 14}));
    auto nav = front->navigationController();
    auto detail = std::dynamic_pointer_cast<XinShengDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->feel_id, "2-5");
    ASSERT_TRUE(waitForRequests("GetGroupVoiceRecord", 1));
    EXPECT_EQ(svc.received("GetGroupVoiceRecord")["parameters"]["feel_id"].str(), "2-5");

    nav->popViewControllerAnimated(false);
    ASSERT_TRUE(settle());
    EXPECT_EQ(front->mdataArray().count(), 10u);
    EXPECT_EQ(lastQuery()["page_index"].integerValue(), 1);
    loadNextPage(front->mtableview);
    ASSERT_TRUE(settle());
    EXPECT_EQ(lastQuery()["page_index"].integerValue(), 2);
}

TEST_F(DirectLineTest, LeavingCancelsTheLoadSoItNeverLandsInTheList) {
    svc.reply("GetGroupVoice", LoopbackService::held(svc.result("GetGroupVoice", moduletest::listReply(moduletest::petitionPage(1)))));
    openDirectLine();
    ASSERT_TRUE(waitForRequests("GetGroupVoice", 1));
    front->add();
    svc.release();
    driver->advance(0.5);
    EXPECT_EQ(front->mdataArray().count(), 0u);
}

TEST_F(DirectLineTest, OddValuesInTheRecordsNeitherCrashNorShowNull) {
    svc.reply("GetGroupVoice", R"({"records":[7,{"id":12,"title":null,"org_name":["x"],"content":3.5}]})");
    svc.reply("GetGroupVoiceRecord", R"({"records":[1,2]})");
    openDirectLine();
    ASSERT_TRUE(settle());
    auto table = front->mtableview;
    ASSERT_EQ(table->numberOfRowsInSection(0), 1);
    auto cell = std::dynamic_pointer_cast<XinShengTableViewCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    EXPECT_EQ(cell->titleLabel->text(), "标题: 机构:");
    EXPECT_EQ(cell->contentLabel->text(), "内容:3.5");
    EXPECT_EQ(cell->userLabel->text(), "发起人:");

    // The record screen, popped before its reply, hears nothing of it.
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto nav = front->navigationController();
    auto detail = std::dynamic_pointer_cast<XinShengDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->feel_id, "12");
    ASSERT_TRUE(waitForRequests("GetGroupVoiceRecord", 1));
    EXPECT_EQ(svc.received("GetGroupVoiceRecord")["parameters"]["feel_id"].str(), "12");
    std::weak_ptr<XinShengDetailViewController> gone = detail;
    detail.reset();
    nav->popViewControllerAnimated(false);
    driver->advance(1.0);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(gone.expired());
}

TEST_F(DirectLineTest, HandlingListWaitsForALogin) {
    servePetitionPages(1);
    svc.reply("MemberLogin", R"({"state":"successful","records":{"member_id":"501","user_name":"lisi"}})");
    openDirectLine();
    ASSERT_TRUE(settle());
    auto nav = front->navigationController();

    driver->tap(front->doneButton);
    EXPECT_FALSE(front->loginview->view()->isHidden());
    EXPECT_EQ(front->loginview->isFrom(), "群众心声");
    EXPECT_EQ(nav->topViewController(), front);

    auto login = front->loginview;
    ASSERT_TRUE(driver->typeText(login->userField, "lisi"));
    ASSERT_TRUE(driver->typeText(login->passwordField, "secret\n"));
    ASSERT_TRUE(driver->waitUntil([&] { return !login->isLoggingIn(); }));
    EXPECT_TRUE(login->view()->isHidden());
    auto handling = std::dynamic_pointer_cast<MyDoneViewController>(nav->topViewController());
    ASSERT_TRUE(handling);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetGroupVoice") >= 2; }));
    ns::Value q = lastQuery();
    EXPECT_EQ(q["parameters"]["type"].str(), "4");
    EXPECT_EQ(q["parameters"]["user_id"].str(), "501");

    // Logged in, the button opens the list at once.
    nav->popViewControllerAnimated(false);
    driver->tap(front->doneButton);
    EXPECT_TRUE(std::dynamic_pointer_cast<MyDoneViewController>(nav->topViewController()));
}

TEST_F(DirectLineTest, MenuSwapsByClassExceptTheSurveyAndGoesHome) {
    servePetitionPages(1);
    svc.reply("GetArticleList", moduletest::listReply(moduletest::articlePage(1, 2)));
    auto reveal = openDirectLine();
    auto table = rear->rearTableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 4);
    std::vector<std::string> titles;
    for (const auto& row : rear->mdataArray().items()) {
        titles.push_back(row["title"].str());
        EXPECT_EQ(row["state"].str(), "0");
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"群众心声", "政策答疑", "民意调查", "回到首页"}));

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    EXPECT_EQ(frontRoot(reveal), front);
    EXPECT_EQ(rear->mdataArray().at(0)["state"].str(), "1");

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    auto answers = std::dynamic_pointer_cast<ZCDYViewController>(frontRoot(reveal));
    ASSERT_TRUE(answers);
    EXPECT_EQ(answers->category_code, "zhengcedayi");
    EXPECT_EQ(answers->naview->titleLabel->text(), "政策答疑");
    ASSERT_TRUE(driver->waitUntil([&] { return !answers->list->isLoadingPage(); }));
    EXPECT_EQ(svc.received("GetArticleList")["parameters"]["category_code"].str(), "zhengcedayi");
    auto row = std::dynamic_pointer_cast<ZCDYCell>(answers->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->timeLabel->text(), "时间: 2014-05-14");

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    auto survey = std::dynamic_pointer_cast<MYDCViewController>(frontRoot(reveal));
    ASSERT_TRUE(survey);
    EXPECT_EQ(survey->category_code, "minyidiaocha");
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    auto again = std::dynamic_pointer_cast<MYDCViewController>(frontRoot(reveal));
    ASSERT_TRUE(again);
    EXPECT_NE(again, survey);

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 3}));
    EXPECT_EQ(homeNav->viewControllers().size(), 1u);
}

// The survey host refuses the connection: "加载中..." while it tries, then
// "加载失败！" stays in sight for its 0.75 s before the overlay closes, over the
// blank page, which nothing retries.
TEST_F(DirectLineTest, ASurveyHostThatRefusesShowsTheFailureForItsTime) {
    servePetitionPages(1);
    std::string refused = LoopbackService::refusedURL();  // http://127.0.0.1:PORT/...
    refused = refused.substr(7, refused.find('/', 7) - 7);
    setenv("KL_SURVEY_HOST", refused.c_str(), 1);
    std::vector<ProgressHUD::Change> changes;
    ProgressHUD::setObserver([&](const ProgressHUD::Change& c) { changes.push_back(c); });
    auto reveal = openDirectLine();
    ASSERT_TRUE(settle());
    changes.clear();
    driver->tap(front->menuButton);
    driver->advance(SlideRevealController::kToggleDuration);
    driver->tapText("民意调查");
    unsetenv("KL_SURVEY_HOST");
    auto survey = std::dynamic_pointer_cast<MYDCViewController>(frontRoot(reveal));
    ASSERT_TRUE(survey);
    EXPECT_NE(survey->webView->request().url.find(refused), std::string::npos);

    ASSERT_TRUE(driver->waitUntil([&] { return !survey->webView->isLoading(); }));
    driver->runPending();
    EXPECT_EQ(ProgressHUD::state(), ProgressHUD::State::Error);
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载失败！");
    EXPECT_TRUE(driver->findViewWithText("加载失败！"));
    driver->advance(0.7);
    EXPECT_TRUE(ProgressHUD::isVisible());
    driver->advance(0.1);
    EXPECT_FALSE(ProgressHUD::isVisible());
    ProgressHUD::setObserver(nullptr);
    EXPECT_EQ(changes, (std::vector<ProgressHUD::Change>{{ProgressHUD::State::Progress, "加载中..."},
                                                         {ProgressHUD::State::Error, "加载失败！", 0.75},
                                                         {ProgressHUD::State::Hidden, ""}}));
    auto page = survey->webView->document();
    EXPECT_TRUE(!page || page->textContent().empty());
}

TEST_F(DirectLineTest, TouchingAPolicyAnswerOpensItUnderTheFixedTitle) {
    svc.reply("GetArticleList", moduletest::listReply(moduletest::articlePage(1, 2)));
    svc.reply("GetArticleRecord", moduletest::articleReply("如何转接组织关系", "<p>带介绍信</p>"));
    auto answers = ui::create<ZCDYViewController>();
    answers->setTitle("答疑");
    answers->category_code = "zhengcedayi";
    openModule(answers, ui::create<DqRearViewController>());
    ASSERT_TRUE(driver->waitUntil([&] { return answers->list->count() == 2; }));

    ASSERT_TRUE(driver->tapText("标题1-2"));
    auto detail = std::dynamic_pointer_cast<ZCDYDetailViewController>(answers->navigationController()->topViewController());
    ASSERT_TRUE(detail);
    ASSERT_TRUE(waitForRequests("GetArticleRecord", 1));
    settleService();
    EXPECT_EQ(svc.received("GetArticleRecord")["parameters"]["id"].str(), "1-2");
    EXPECT_EQ(detail->naview->titleLabel->text(), "政策答疑");
    EXPECT_EQ(detail->titleLabel->text(), "如何转接组织关系");
    EXPECT_EQ(detail->timeLabel->text(), "时间: 2014-03-05 10:20");
    EXPECT_FALSE(ProgressHUD::isVisible());
    driver->tap(detail->naview->leftButton);
    driver->advance(ui::ViewController::kTransitionDuration);
    EXPECT_EQ(answers->navigationController()->topViewController(), answers);
}

TEST_F(DirectLineTest, TheForumSkeletonAsksForPageOneOfItsCategoryAndShowsNothing) {
    svc.reply("GetArticleList",
              LoopbackService::held(svc.result("GetArticleList", moduletest::listReply(moduletest::articlePage(1, 2)))));
    auto forum = ui::create<DQLTViewController>();
    forum->setTitle("党群论坛");
    forum->category_code = "dangqunluntan";
    auto reveal = openModule(forum, ui::create<DqRearViewController>());
    EXPECT_EQ(forum->naview->titleLabel->text(), "党群论坛");
    EXPECT_TRUE(forum->naview->leftButton->isHidden());
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(waitForRequests("GetArticleList", 1));
    auto asked = svc.received("GetArticleList");
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["page_size"].integerValue(), 10);
    EXPECT_EQ(asked["parameters"]["category_code"].str(), "dangqunluntan");
    svc.release();
    settleService();
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_FALSE(driver->findView<ui::TableView>([&](ui::TableView& t) { return t.isDescendantOfView(forum->view().get()); }));
    driver->tap(forum->menuButton);
    driver->advance(SlideRevealController::kToggleDuration);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
}

TEST_F(DirectLineTest, SurveyLoadsItsPageOnPort5008AndReportsEachLoad) {
    ui::WebView::setManualLoading(true);
    auto survey = ui::create<MYDCViewController>();
    survey->setTitle("民意调查");
    openModule(survey, ui::create<DqRearViewController>());
    EXPECT_EQ(survey->naview->titleLabel->text(), "民意调查");
    const std::string& url = survey->webView->request().url;
    EXPECT_EQ(url.rfind("http://", 0), 0u);
    EXPECT_NE(url.find(":5008/Pages/Web/dqzt/CanvassWap.aspx"), std::string::npos);
    // A survey host set with its port (the demo service's) keeps that port.
    setenv("KL_SURVEY_HOST", "survey.example", 1);
    EXPECT_EQ(surveyPageURL(), "http://survey.example:5008/Pages/Web/dqzt/CanvassWap.aspx");
    setenv("KL_SURVEY_HOST", "127.0.0.1:8735", 1);
    EXPECT_EQ(surveyPageURL(), "http://127.0.0.1:8735/Pages/Web/dqzt/CanvassWap.aspx");
    unsetenv("KL_SURVEY_HOST");

    ASSERT_TRUE(driver->waitUntil([] { return ProgressHUD::currentStatus() == "加载中..."; }));
    ASSERT_TRUE(survey->webView->finishPendingLoad("<p>问卷</p>"));
    EXPECT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));

    // The option form's rule: exactly one option selected.
    for (int i = 0; i < 3; ++i) {
        survey->ary.push(ns::Value::dictionary({{"state", "0"}}));
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setTag(1000 + i);
        survey->buttonArray.push_back(b);
    }
    survey->selectContent(survey->buttonArray[1]);
    survey->selectContent(survey->buttonArray[2]);
    EXPECT_EQ(survey->ary.at(1)["state"].str(), "0");
    EXPECT_EQ(survey->ary.at(2)["state"].str(), "1");
    EXPECT_EQ(survey->buttonArray[2]->backgroundImageForState(ui::ControlStateNormal),
              ui::Image::imageNamed("title_seledted.png"));
}

}  // namespace
