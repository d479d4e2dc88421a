// What the progress overlay tells the user of a list's loads, and when it
// goes: each kind of list opened, then pulled up for a page that fails.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/ModuleTest.h"

#include "app/framework/PagedList.h"
#include "cases/DqRearViewController.h"
#include "cases/ZCDYViewController.h"
#include "channels/CommentViewController.h"
#include "channels/SSZTFrontViewController.h"
#include "channels/SSZTRearViewController.h"

using namespace moduletest;

static void PrintTo(const ProgressHUD::Change& c, std::ostream* os) {
    *os << "{" << static_cast<int>(c.state) << ", \"" << c.status << "\", " << c.delay << "}";
}

namespace {

using Change = ProgressHUD::Change;
using State = ProgressHUD::State;

class ListOverlayTest;

struct Kind {
    const char* name;
    const char* operation;  // the list's page request
    double resultDelay;     // 0: the overlay closes without a result
    std::function<std::shared_ptr<PagedList>(ListOverlayTest&)> open;
};

void PrintTo(const Kind& k, std::ostream* os) { *os << k.name; }

class ListOverlayTest : public ModuleTest, public testing::WithParamInterface<Kind> {
public:
    using ModuleTest::openModule;
    using ModuleTest::showPushed;

    void SetUp() override {
        ModuleTest::SetUp();
        ProgressHUD::setObserver([this](const Change& c) { changes.push_back(c); });
    }
    void TearDown() override {
        ProgressHUD::setObserver(nullptr);
        ModuleTest::TearDown();
    }

    std::vector<Change> changes;
};

const Kind kKinds[] = {
    {"NewsList", "GetArticleList", 0.5,
     [](ListOverlayTest& t) {
         auto list = ui::create<SSZTFrontViewController>();
         t.openModule(list, ui::create<SSZTRearViewController>());
         return list->list;
     }},
    {"ChannelList", "GetArticleList", 0.75,
     [](ListOverlayTest& t) {
         auto list = ui::create<ZCDYViewController>();
         list->category_code = "zhengcedayi";
         t.openModule(list, ui::create<DqRearViewController>());
         return list->list;
     }},
    {"CommentList", "GetCommentList", 0,
     [](ListOverlayTest& t) {
         auto list = ui::create<CommentViewController>();
         list->article_id = "8";
         t.showPushed(list);
         return list->list;
     }},
};

TEST_P(ListOverlayTest, OpeningAListThenPullingForAPageThatFails) {
    const Kind& k = GetParam();
    const std::string operation = k.operation;
    svc.handle(operation, [this, operation](const LoopbackService::Received& r) {
        return requestedPage(r) == 1 ? svc.result(operation, commentPage(1, 10)) : LoopbackService::status(500);
    });
    auto list = k.open(*this);
    auto loaded = [&] { return driver->waitUntil([&] { return !list->isLoadingPage(); }); };
    ASSERT_TRUE(loaded());
    ASSERT_EQ(list->count(), 10u);
    // The result (if any) is shown, and the overlay closed at once, without waiting it out.
    std::vector<Change> opened{{State::Progress, "加载中..."}};
    if (k.resultDelay > 0) opened.push_back({State::Success, "加载成功！", k.resultDelay});
    opened.push_back({State::Hidden, ""});
    EXPECT_EQ(changes, opened);
    EXPECT_FALSE(ProgressHUD::isVisible());

    changes.clear();
    pullUp(list->table());
    driver->advance(2.0);
    ASSERT_TRUE(waitForRequests(operation, 2));
    ASSERT_TRUE(loaded());
    std::vector<Change> failed{{State::Progress, "加载中..."}};
    if (k.resultDelay > 0) failed.push_back({State::Error, "加载失败！", k.resultDelay});
    failed.push_back({State::Hidden, ""});
    EXPECT_EQ(changes, failed);
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(list->count(), 10u);
}

INSTANTIATE_TEST_SUITE_P(Lists, ListOverlayTest, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

}  // namespace
