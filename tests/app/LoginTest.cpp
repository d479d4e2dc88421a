#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "app/LoginViewController.h"
#include "app/UIUtils.h"
#include "app/Utils.h"
#include "uikit/Text.h"

namespace {

class Host : public ui::ViewController, public LoginViewControllerDelegate {
public:
    void rolesName(const std::string& name, bool state) override { calls.push_back({name, state}); }
    std::vector<std::pair<std::string, bool>> calls;
};

class LoginTest : public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
        host = ui::create<Host>();
        window->setRootViewController(host);
        login = ui::create<LoginViewController>();
        login->setDelegate(host->weakAs<LoginViewControllerDelegate>());
        login->view()->setFrame(host->view()->bounds());
        login->view()->setHidden(true);
        host->view()->addSubview(login->view());
        login->setIsFrom("评论");
        login->view()->setHidden(false);
    }
    void TearDown() override {
        window.reset();
        ShellTest::TearDown();
    }
    void submit(const std::string& user, const std::string& password) {
        if (!user.empty()) driver->typeText(login->userField, user);
        if (!password.empty()) driver->typeText(login->passwordField, password);
        driver->tap(login->loginButton);
    }
    bool waitForAnswer() {
        return driver->waitUntil([&] { return !login->isLoggingIn(); });
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<Host> host;
    std::shared_ptr<LoginViewController> login;
};

TEST_F(LoginTest, SuccessSavesTheMemberHidesAndTellsTheDelegate) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    submit("lisi", "secret");
    EXPECT_TRUE(login->isLoggingIn());
    EXPECT_EQ(ProgressHUD::currentStatus(), "登录中...");
    ASSERT_TRUE(waitForAnswer());

    ns::Value sent = svc.received("MemberLogin")["parameters"];
    EXPECT_EQ(sent["user_name"], ns::Value("lisi"));
    EXPECT_EQ(sent["password"], ns::Value("secret"));
    EXPECT_TRUE(login->view()->isHidden());
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(host->calls, (std::vector<std::pair<std::string, bool>>{{"", true}}));
    EXPECT_EQ(login->isFrom(), "评论");

    ns::UserDefaults::resetStandardUserDefaults();
    EXPECT_TRUE(Utils::isLogin());
    EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->objectForKey("login_flg"), ns::Value("1"));
    auto member = Utils::getMember();
    EXPECT_EQ(member->member_id, ns::Value("501"));
    EXPECT_EQ(member->real_name, ns::Value("李四"));
    EXPECT_EQ(member->user_name, ns::Value("lisi"));
    EXPECT_EQ(member->password, ns::Value("secret"));
}

TEST_F(LoginTest, EmptyFieldsAreRefusedBeforeAnyRequest) {
    submit("", "");
    EXPECT_EQ(driver->lastAlert()->message(), "请输入用户名");
    driver->pressAlertButton("确定");
    submit("lisi", "");
    EXPECT_EQ(driver->lastAlert()->title(), "温馨提示");
    EXPECT_EQ(driver->lastAlert()->message(), "请输入密码");
    driver->pressAlertButton("确定");
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_EQ(svc.count(), 0u);
    EXPECT_FALSE(login->view()->isHidden());
}

TEST_F(LoginTest, ARefusalShowsTheServiceMessageAndLogsNobodyIn) {
    svc.replyOnce("MemberLogin", svc.result("MemberLogin", R"({"state":"failed","message":"用户名或密码错误"})"));
    svc.replyOnce("MemberLogin", svc.result("MemberLogin", "<html>oops</html>"));
    svc.replyOnce("MemberLogin", svc.result("MemberLogin", R"({"state":"successful"})"));
    submit("lisi", "wrong");
    ASSERT_TRUE(waitForAnswer());
    EXPECT_EQ(driver->lastAlert()->message(), "用户名或密码错误");
    driver->pressAlertButton("确定");
    // Neither an unreadable answer nor one without the member logs in.
    for (int i = 0; i < 2; ++i) {
        driver->tap(login->loginButton);
        ASSERT_TRUE(waitForAnswer());
        EXPECT_EQ(driver->lastAlert()->message(), "登录失败");
        driver->pressAlertButton("确定");
    }
    EXPECT_FALSE(Utils::isLogin());
    EXPECT_TRUE(host->calls.empty());
    EXPECT_FALSE(login->view()->isHidden());
}

TEST_F(LoginTest, CancelHidesAndALateAnswerChangesNothing) {
    svc.reply("MemberLogin", LoopbackService::held(svc.result("MemberLogin", shelltest::kMemberReply)));
    submit("lisi", "secret");
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("MemberLogin") == 1; }));
    driver->tap(login->cancelButton);
    EXPECT_TRUE(login->view()->isHidden());
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_FALSE(ProgressHUD::isVisible());
    svc.release();
    ASSERT_TRUE(driver->waitUntil([] { return net::NetworkActivity::count() == 0; }));
    driver->runPending();
    EXPECT_FALSE(Utils::isLogin());
    EXPECT_TRUE(host->calls.empty());
}

TEST_F(LoginTest, WithoutADelegateAndAfterTheHostHasGone) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    login->setDelegate({});
    submit("lisi", "secret");
    ASSERT_TRUE(waitForAnswer());
    EXPECT_TRUE(Utils::isLogin());
    EXPECT_TRUE(host->calls.empty());

    // A second login whose answer arrives after the screen has gone.
    Utils::saveUserWithMemberData(ns::Value::dictionary(), "0");
    svc.reply("MemberLogin", LoopbackService::held(svc.result("MemberLogin", shelltest::kMemberReply)));
    login->view()->setHidden(false);
    driver->typeText(login->passwordField, "secret");
    driver->tap(login->loginButton);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("MemberLogin") == 2; }));
    EXPECT_TRUE(ProgressHUD::isVisible());
    std::weak_ptr<LoginViewController> weak = login;
    window->setRootViewController(nullptr);
    host.reset();
    login.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(ProgressHUD::isVisible());  // the overlay does not outlive the login
    svc.release();
    ASSERT_TRUE(driver->waitUntil([] { return net::NetworkActivity::count() == 0; }));
    driver->runPending();
    EXPECT_FALSE(Utils::isLogin());
}

TEST(UtilsTest, LoginFlagAndMemberRecord) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->removeObjectForKey("login_flg");
    defaults->removeObjectForKey("memberDic");
    EXPECT_FALSE(Utils::isLogin());
    auto none = Utils::getMember();
    EXPECT_TRUE(none->member_id.isNil());
    EXPECT_TRUE(none->real_name.isNil());

    // Numbers from the service and nulls: the record is kept, the nulls left out.
    Utils::saveUserWithMemberData(
        ns::Value::dictionary({{"member_id", 42}, {"area_id", ns::Value::null()},
                               {"roles", ns::Value::array({ns::Value("a"), ns::Value::null()})}}),
        "1");
    EXPECT_TRUE(Utils::isLogin());
    auto member = Utils::getMember();
    EXPECT_EQ(member->member_id.description(), "42");
    EXPECT_TRUE(member->area_id.isNil());
    EXPECT_EQ(defaults->dictionaryForKey("memberDic")["roles"].count(), 1u);

    Utils::saveUserWithMemberData(ns::Value::dictionary(), "0");
    EXPECT_FALSE(Utils::isLogin());
}

TEST(UtilsTest, TextMeasureAlertAndMenuButton) {
    const std::string text = "党员干部要带头学习，做到学而信、学而用、学而行。";
    ui::Size size = Utils::labelAutoCalculateRectWith(text, 12, ui::Size{100, 10000});
    EXPECT_EQ(size, ui::sizeWithFont(text, ui::Font::systemFontOfSize(12), ui::Size{100, 10000}));
    EXPECT_LE(size.width, 100);
    EXPECT_GT(size.height, ui::sizeWithFont("党", ui::Font::systemFontOfSize(12)).height);
    EXPECT_EQ(size.height, std::ceil(size.height));

    ui::Application::resetForTesting();
    auto alert = Utils::showAlert("请输入建议标题");
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->title(), "温馨提示");
    EXPECT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "确定");

    struct Target : ui::Object {
        void toggle() { ++count; }
        int count = 0;
    };
    auto target = std::make_shared<Target>();
    auto item = UIUtils::backButtonForTarget(target, &Target::toggle);
    auto button = std::dynamic_pointer_cast<ui::Button>(item->customView());
    ASSERT_TRUE(button);
    EXPECT_EQ(button->frame(), (ui::Rect{8, 3, 24, 20}));
    EXPECT_TRUE(button->currentImage());
    EXPECT_EQ(button->titleLabel()->font(), ui::Font::boldSystemFontOfSize(14));
    button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(target->count, 1);
    alert->pressButtonAtIndex(0);
    ui::Application::resetForTesting();
}

}  // namespace
