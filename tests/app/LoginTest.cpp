#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/PropertyList.h"

#include "ShellTestSupport.h"
#include "app/shell/LoginViewController.h"
#include "app/shell/UIUtils.h"
#include "app/shell/Utils.h"
#include "support/HostileReplies.h"
#include "uikit/Keyboard.h"
#include "uikit/Text.h"

namespace {

class Host : public ui::ViewController, public LoginViewControllerDelegate {
public:
    void rolesName(const std::string& name, bool state) override { calls.push_back(name + (state ? " YES" : " NO")); }
    std::vector<std::string> calls;
};

// The overlay inside a host screen, shown for the comment feature.
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
        host->view()->addSubview(login->view());
        login->setIsFrom("评论");
    }
    void TearDown() override {
        window.reset();
        ShellTest::TearDown();
    }
    void submit(const std::string& user, const std::string& password) {
        login->userField->setText(user);
        login->passwordField->setText(password);
        driver->tap(login->loginButton);
    }
    bool answered() {
        return driver->waitUntil([&] { return !login->isLoggingIn(); });
    }
    std::string alertShown() {
        auto alert = driver->lastAlert();
        if (!alert || !alert->isVisible()) return "";
        std::string text = alert->title() + "/" + alert->message();
        driver->pressAlertButton("确定");
        return text;
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<Host> host;
    std::shared_ptr<LoginViewController> login;
};

TEST_F(LoginTest, SuccessSavesTheMemberHidesAndTellsTheDelegate) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    driver->typeText(login->userField, "lisi");
    driver->typeText(login->passwordField, "secret\n");  // return logs in
    EXPECT_EQ(ProgressHUD::currentStatus(), "登录中...");
    ASSERT_TRUE(answered());

    EXPECT_EQ(svc.received("MemberLogin")["parameters"],
              ns::Value::dictionary({{"user_name", "lisi"}, {"password", "secret"}}));
    EXPECT_TRUE(login->view()->isHidden());
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(host->calls, std::vector<std::string>{" YES"});
    EXPECT_EQ(login->isFrom(), "评论");

    ns::UserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->objectForKey("login_flg"), ns::Value("1"));
    EXPECT_TRUE(Utils::isLogin());
    auto member = Utils::getMember();
    EXPECT_EQ(member->member_id, ns::Value("501"));
    EXPECT_EQ(member->real_name, ns::Value("李四"));
    EXPECT_EQ(member->password, ns::Value("secret"));
}

// A member record of many keys (a 2 MB reply) is stored whole, nulls left
// out, and at once: saving it key by key took half a minute on the main
// thread.
TEST_F(LoginTest, AMemberRecordOfManyKeysIsSavedWhole) {
    constexpr std::size_t kKeys = 100000;
    svc.reply("MemberLogin", hostile::memberReply(kKeys));
    submit("lisi", "secret");
    ASSERT_TRUE(answered());
    EXPECT_EQ(host->calls, std::vector<std::string>{" YES"});

    ns::UserDefaults::resetStandardUserDefaults();  // read back from the store
    const ns::Value stored = ns::UserDefaults::standardUserDefaults()->dictionaryForKey(Utils::kMemberDicKey);
    ASSERT_EQ(stored.count(), 6 + kKeys - kKeys / 10);
    const std::vector<std::string> keys = stored.keys();
    EXPECT_EQ(keys.front(), "member_id");
    EXPECT_EQ(keys.back(), "f0099998");
    EXPECT_EQ(stored["f0000000"], ns::Value("v0000000"));
    EXPECT_EQ(stored["f0050000"], ns::Value("v0050000"));
    EXPECT_FALSE(stored.has("f0000009"));  // null
    EXPECT_EQ(Utils::getMember()->real_name, ns::Value("张三"));
}

// Wherever the host puts the overlay, "登录" and "取消" stay above the keyboard
// while a field is edited, so a finger reaches them; the box goes back after.
TEST_F(LoginTest, TheBoxRisesClearOfTheKeyboardWithinTheOverlay) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    const double width = host->view()->bounds().size.width, height = host->view()->bounds().size.height;
    struct Case {
        const char* where;
        ui::Rect overlay;
        bool viaCancel;
    };
    const Case cases[] = {
        {"the whole screen (home)", ui::Rect{0, 0, width, height}, false},
        {"below the top bar (comment screens)", ui::Rect{0, 64, width, height - 64}, false},
        {"below the top bar, cancelled", ui::Rect{0, 64, width, height - 64}, true},
    };
    auto hits = [&](const std::shared_ptr<ui::Button>& button) {
        auto hit = driver->tap(button);
        return hit && (hit == button || hit->isDescendantOfView(button.get()));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        login->view()->setFrame(c.overlay);
        login->view()->setHidden(false);
        ASSERT_TRUE(driver->typeText(login->userField, "lisi"));
        ASSERT_TRUE(driver->typeText(login->passwordField, "secret"));
        ASSERT_TRUE(ui::Keyboard::shared().isVisible());
        const double keyboardTop = ui::Keyboard::shared().frame().minY();
        for (const auto& button : {login->loginButton, login->cancelButton}) {
            ui::Rect onScreen = button->convertRect_toView(button->bounds(), nullptr);
            EXPECT_LE(onScreen.maxY(), keyboardTop);
        }
        // Inside the overlay, and no higher than it needs to go.
        ui::Rect box = login->loginBox->frame();
        EXPECT_GE(box.minY(), 0);
        EXPECT_EQ(box.minY(), std::min(LoginViewController::kBoxTop,
                                       keyboardTop - c.overlay.minY() - LoginViewController::kBoxMargin -
                                           LoginViewController::kBoxHeight));

        ASSERT_TRUE(hits(c.viaCancel ? login->cancelButton : login->loginButton));
        ASSERT_TRUE(answered());
        EXPECT_TRUE(login->view()->isHidden());
        EXPECT_FALSE(ui::Keyboard::shared().isVisible());
        EXPECT_EQ(login->loginBox->frame().minY(), LoginViewController::kBoxTop);
    }
    EXPECT_EQ(svc.count("MemberLogin"), 2u);
}

// The row pictures are whole framed boxes with their icon: shown at their own
// size, not squeezed or cropped, with each field inside its box right of the icon.
TEST_F(LoginTest, RowPicturesShowWholeWithTheirFieldsInside) {
    std::vector<std::shared_ptr<ui::ImageView>> boxes;
    for (auto& v : login->loginBox->subviews())
        if (auto iv = std::dynamic_pointer_cast<ui::ImageView>(v); iv && iv->image()) boxes.push_back(iv);
    ASSERT_EQ(boxes.size(), 2u);
    const std::shared_ptr<ui::TextField> fields[] = {login->userField, login->passwordField};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(boxes[i]->image(), ui::Image::imageNamed(i == 0 ? "user.png" : "password.png"));
        EXPECT_EQ(boxes[i]->frame().size, boxes[i]->image()->size());
        ui::Rect box = boxes[i]->frame(), field = fields[i]->frame();
        EXPECT_GE(field.minX(), box.minX() + 50) << i;  // right of the icon's divider
        EXPECT_LE(field.maxX(), box.maxX()) << i;
        EXPECT_GE(field.minY(), box.minY()) << i;
        EXPECT_LE(field.maxY(), box.maxY()) << i;
        EXPECT_EQ(fields[i]->borderStyle(), ui::TextBorderStyleNone) << i;  // the picture is the border
        EXPECT_LE(box.maxX(), login->loginBox->bounds().maxX()) << i;
    }
    EXPECT_LE(boxes[0]->frame().maxY(), boxes[1]->frame().minY());
    EXPECT_LE(boxes[1]->frame().maxY(), login->loginButton->frame().minY());
}

TEST_F(LoginTest, EmptyFieldsRefusalsAndUnreadableAnswersLogNobodyIn) {
    submit("", "x");
    EXPECT_EQ(alertShown(), "温馨提示/请输入用户名");
    submit("lisi", "");
    EXPECT_EQ(alertShown(), "温馨提示/请输入密码");
    EXPECT_EQ(svc.count(), 0u);

    svc.replyOnce("MemberLogin", svc.result("MemberLogin", R"({"state":"failed","message":"用户名或密码错误"})"));
    svc.replyOnce("MemberLogin", svc.result("MemberLogin", "<html>oops</html>"));
    svc.replyOnce("MemberLogin", svc.result("MemberLogin", R"({"state":"successful"})"));
    svc.replyOnce("MemberLogin", LoopbackService::status(500));
    for (const char* expected : {"温馨提示/用户名或密码错误", "温馨提示/登录失败", "温馨提示/登录失败", "温馨提示/登录失败"}) {
        submit("lisi", "wrong");
        ASSERT_TRUE(answered());
        EXPECT_EQ(alertShown(), expected);
    }
    EXPECT_FALSE(Utils::isLogin());
    EXPECT_TRUE(host->calls.empty());
    EXPECT_FALSE(login->view()->isHidden());
}

TEST_F(LoginTest, LateAnswersAfterCancelOrAfterTheScreenHasGoneChangeNothing) {
    svc.reply("MemberLogin", LoopbackService::held(svc.result("MemberLogin", shelltest::kMemberReply)));
    submit("lisi", "secret");
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("MemberLogin") == 1; }));
    driver->tap(login->cancelButton);
    EXPECT_TRUE(login->view()->isHidden());
    EXPECT_FALSE(ProgressHUD::isVisible());

    // Again, and this time the screen goes away with the overlay.
    login->view()->setHidden(false);
    submit("lisi", "secret");
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("MemberLogin") == 2; }));
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

// The member's password is kept (the store needs it) but for the member
// alone, and the log shows its place, not its value.
TEST_F(LoginTest, TheKeptPasswordIsTheMembersAloneAndTheLogMasksIt) {
    // An app home as an earlier version left it: open to everyone to read.
    namespace fs = std::filesystem;
    fs::path home = fs::path(std::getenv("KL_HOME")) / "earlier-home";
    fs::path preferences = home / "Library" / "Preferences";
    fs::create_directories(preferences);
    for (const fs::path& p : {home, home / "Library", preferences})
        fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    ns::UserDefaults::resetStandardUserDefaults();
    ns::setHomeDirectory(home.string());
    auto store = ns::PropertyListSerialization::dataWithPropertyList(
        ns::Value::dictionary({{"login_flg", ns::Value("0")}}), ns::PropertyListFormat::Binary);
    ASSERT_TRUE(store && ns::writeFileAtomically(ns::UserDefaults::standardUserDefaults()->path(), *store));
    ASSERT_EQ(::chmod(ns::UserDefaults::standardUserDefaults()->path().c_str(), 0644), 0);

    svc.reply("MemberLogin", shelltest::kMemberReply);
    ns::LogCapture log;
    submit("lisi", "secret");
    ASSERT_TRUE(answered());
    ASSERT_TRUE(Utils::isLogin());
    ASSERT_TRUE(ns::UserDefaults::standardUserDefaults()->synchronize());
    (void)ns::cachesDirectory(), (void)ns::documentsDirectory(), (void)ns::temporaryDirectory();

    EXPECT_TRUE(log.contains(R"(content==={"parameters":{"user_name":"lisi","password":"***"}})"));
    EXPECT_TRUE(log.contains(R"(登录response={"state":"successful","message":"登录成功","records":{"member_id":"501",)"));
    EXPECT_TRUE(log.contains(R"("user_name":"lisi","password":"***"}})"));
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("secret"), std::string::npos) << line;

    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(home)) {
        auto mode = static_cast<unsigned>(entry.status().permissions() & fs::perms::mask);
        if (entry.is_directory()) {
            EXPECT_EQ(mode, 0700u) << entry.path();
        } else {
            EXPECT_EQ(mode, 0600u) << entry.path();
            ++files;
        }
    }
    EXPECT_EQ(files, 1u);  // the store
    EXPECT_EQ(static_cast<unsigned>(fs::status(home).permissions() & fs::perms::mask), 0700u);
    ns::UserDefaults::resetStandardUserDefaults();
    ns::resetHomeDirectory();
}

TEST(UtilsTest, LoginStateMemberRecordTextMeasureAndMenuButton) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->removeObjectForKey("login_flg");
    defaults->removeObjectForKey("memberDic");
    EXPECT_FALSE(Utils::isLogin());
    EXPECT_TRUE(Utils::getMember()->real_name.isNil());

    // Numbers from the service are kept; nulls, which the store cannot hold, are left out.
    Utils::saveUserWithMemberData(ns::Value::dictionary({{"member_id", 42}, {"area_id", ns::Value::null()},
                                                         {"roles", ns::Value::array({"a", ns::Value::null()})}}),
                                  "1");
    EXPECT_TRUE(Utils::isLogin());
    EXPECT_EQ(Utils::getMember()->member_id.description(), "42");
    EXPECT_TRUE(Utils::getMember()->area_id.isNil());

    const std::string text = "党员干部要带头学习，做到学而信、学而用、学而行。";
    ui::Size size = Utils::labelAutoCalculateRectWith(text, 12, ui::Size{100, 10000});
    EXPECT_EQ(size, ui::sizeWithFont(text, ui::Font::systemFontOfSize(12), ui::Size{100, 10000}));
    EXPECT_GT(size.height, ui::sizeWithFont("党", ui::Font::systemFontOfSize(12)).height);  // wrapped

    struct Target : ui::Object {
        void toggle() { ++count; }
        int count = 0;
    };
    auto target = std::make_shared<Target>();
    auto button = std::dynamic_pointer_cast<ui::Button>(UIUtils::backButtonForTarget(target, &Target::toggle)->customView());
    ASSERT_TRUE(button);
    EXPECT_EQ(button->frame(), (ui::Rect{8, 3, 24, 20}));
    EXPECT_TRUE(button->currentImage());
    button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(target->count, 1);
}

}  // namespace
