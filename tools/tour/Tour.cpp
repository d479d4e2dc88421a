#include "tour/Tour.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/shell/AppDelegate.h"
#include "app/shell/ModuleRegistry.h"
#include "app/widgets/ProgressHUD.h"
#include "app/widgets/SlideRevealController.h"
#include "app/images/WebImageManager.h"
#include "net/NetworkActivity.h"
#include "render/Renderer.h"
#include "uikit/Button.h"
#include "uikit/NavigationController.h"
#include "uikit/TableView.h"
#include "uikit/TestDriver.h"
#include "uikit/TextField.h"
#include "uikit/WebView.h"

namespace tour {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Real seconds a step may wait for its screen (the service, pictures, animations).
constexpr double kStepSeconds = 30;
constexpr const char* kModuleTile = "时事直通";
constexpr const char* kComment = "演示导览留言：家门口的变化看得见，点赞！";

// The first view of the class under the view (itself included) that is not
// hidden and passes the test.
template <typename T>
std::shared_ptr<T> findIn(const std::shared_ptr<ui::View>& view, const std::function<bool(T&)>& test = {}) {
    if (!view || view->isHidden()) return nullptr;
    if (auto t = std::dynamic_pointer_cast<T>(view))
        if (!test || test(*t)) return t;
    for (const auto& sub : view->subviews())
        if (auto found = findIn<T>(sub, test)) return found;
    return nullptr;
}

class Walk {
public:
    Walk(const TourOptions& options, std::ostream& out, std::ostream& err)
        : options_(options), folder_(fs::absolute(options.folder)), out_(out), err_(err) {}

    int run(const ProgramHosts::Launch& launch);

private:
    enum class Outcome { Taken, Skipped, Failed };

    Outcome home();
    Outcome module();
    Outcome news();
    Outcome article();
    Outcome comments();
    Outcome login();
    Outcome commented();
    Outcome publicAccount();
    Outcome representative();

    Outcome skip(std::string why) {
        why_ = std::move(why);
        return Outcome::Skipped;
    }
    Outcome fail(std::string why) {
        why_ = std::move(why);
        return Outcome::Failed;
    }

    // Nothing under way: no service request or picture download, no page
    // loading, no progress overlay.
    bool quiet() const;
    // Runs the program (its clock in small steps, for animations and delayed
    // calls) until it is quiet and the condition holds; false after kStepSeconds.
    bool settle(const std::function<bool()>& ready = {});
    // The picture of the screen; the outcome of a step that ends with it.
    Outcome shoot(const std::string& file, bool settled, const std::string& what);

    // Back to the home screen, whatever was pushed over it.
    void backHome();
    // The screen the user is looking at, inside the slide-menu container and
    // the navigation controllers.
    std::shared_ptr<ui::ViewController> currentScreen() const;
    std::shared_ptr<SlideRevealController> revealController() const;
    std::shared_ptr<ui::Button> button(const std::string& title) const;
    std::shared_ptr<ui::TextField> fieldWithPlaceholder(const std::string& placeholder) const;

    TourOptions options_;
    fs::path folder_;
    std::ostream& out_;
    std::ostream& err_;
    std::string why_;
    ui::TestDriver ui_;  // the manual clock, before the application starts
    std::shared_ptr<AppDelegate> delegate_;

    bool listShown_ = false;
    bool articleShown_ = false;
    bool commentsShown_ = false;
    bool loggedIn_ = false;
};

int Walk::run(const ProgramHosts::Launch& launch) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (!fs::is_directory(folder_)) {
        err_ << "kestrowline: cannot make the folder " << folder_.string() << "\n";
        return 1;
    }
    out_ << "Tour of the screens; pictures go to " << folder_.string() << "\n" << std::flush;
    delegate_ = launch();

    struct Step {
        const char* name;
        Outcome (Walk::*take)();
    };
    static const Step kSteps[] = {
        {"home", &Walk::home},         {"module", &Walk::module},     {"news list", &Walk::news},
        {"article", &Walk::article},   {"comments", &Walk::comments}, {"login", &Walk::login},
        {"commented", &Walk::commented}, {"public account", &Walk::publicAccount},
        {"representative", &Walk::representative},
    };
    int taken = 0, failed = 0;
    for (const auto& step : kSteps) {
        why_.clear();
        Outcome outcome;
        try {
            outcome = (this->*step.take)();
        } catch (const std::exception& e) {
            outcome = fail(e.what());
        }
        if (outcome == Outcome::Taken) ++taken;
        if (outcome == Outcome::Skipped) out_ << "  " << step.name << ": skipped, " << why_ << "\n";
        if (outcome == Outcome::Failed) {
            ++failed;
            out_ << "  " << step.name << ": FAILED, " << why_ << "\n";
        }
        out_ << std::flush;
    }
    out_ << taken << " pictures in " << folder_.string() << (failed ? "" : "\n");
    if (failed) out_ << "; " << failed << " step(s) failed\n";
    out_ << std::flush;
    return failed ? 1 : 0;
}

// ---- Steps ----

Walk::Outcome Walk::home() {
    bool settled = settle([&] { return delegate_->isStartupSettled() && ui_.findViewWithText(kModuleTile); });
    return shoot("01-home.png", settled, "home");
}

Walk::Outcome Walk::module() {
    if (!moduleRegistry().sszt.isBuilt()) return skip("this build has no current-affairs module");
    ui_.tapText(kModuleTile);
    auto hasRows = [&] {
        auto screen = currentScreen();
        auto table = screen ? findIn<ui::TableView>(screen->view()) : nullptr;
        return table && table->numberOfRowsInSection(0) > 0;
    };
    bool settled = settle(hasRows);
    auto reveal = revealController();
    if (!reveal) return fail("the module did not open");
    listShown_ = settled;
    reveal->revealToggle(nullptr);
    settled = settle([&] { return reveal->currentFrontViewPosition() == FrontViewPositionRight; }) && settled;
    Outcome outcome = shoot("02-module.png", settled, "the current-affairs module, its menu open");
    reveal->revealToggle(nullptr);
    settle([&] { return reveal->currentFrontViewPosition() == FrontViewPositionLeft; });
    return outcome;
}

Walk::Outcome Walk::news() {
    if (!revealController()) return skip("it needs the current-affairs module");
    return shoot("03-news.png", listShown_ && settle(), "the news list");
}

Walk::Outcome Walk::article() {
    if (!listShown_) return skip("it needs the news list");
    auto list = currentScreen();
    auto table = findIn<ui::TableView>(list->view());
    auto cell = table ? table->cellForRowAtIndexPath(ui::IndexPath::indexPathForRow(0, 0)) : nullptr;
    if (!cell) return fail("the news list shows no row");
    ui_.tap(cell);
    bool settled = settle();
    if (currentScreen() == list) return skip("this build has no article screen");
    articleShown_ = true;
    return shoot("04-article.png", settled, "an article");
}

Walk::Outcome Walk::comments() {
    if (!articleShown_) return skip("it needs the article screen");
    auto show = ui_.findViewWithText("查看评论");
    if (!show) return skip("this build's article screen has no comments");
    auto article = currentScreen();
    ui_.tap(show);
    bool settled = settle();
    if (currentScreen() == article) return skip("this build has no comment list");
    commentsShown_ = true;
    return shoot("05-comments.png", settled, "the article's comments");
}

Walk::Outcome Walk::login() {
    // A comment asks for a login first (none has been made from a comment
    // screen in this run); without the comment list, the home screen's
    // sign-in does.
    if (commentsShown_) {
        ui_.tap(button("评论"));
    } else {
        backHome();
        ui_.tap(button("签到"));
        if (!ui_.pressAlertButton("现在去登录")) return fail("the sign-in did not ask for a login");
    }
    auto user = fieldWithPlaceholder("请输入用户名");
    auto password = fieldWithPlaceholder("请输入密码");
    if (!user || !password) return fail("the login screen did not show");
    bool filled = options_.userName.empty() ||
                  (ui_.typeText(user, options_.userName) && ui_.typeText(password, options_.password));
    if (!filled) return fail("the login fields take no typing");
    // Done typing: the keyboard goes down and shows the buttons.
    if (auto first = ui_.firstResponder()) first->resignFirstResponder();
    Outcome outcome = shoot("06-login.png", settle(), "the login");
    if (outcome != Outcome::Taken || options_.userName.empty()) return outcome;

    ui_.tap(button("登录"));
    settle([&] { return !fieldWithPlaceholder("请输入用户名") || ui_.topPopup(); });
    if (ui_.topPopup()) {
        std::string message = ui_.lastAlert() ? ui_.lastAlert()->message() : std::string();
        ui_.pressAlertButton(0);
        return fail("the login was refused: " + message);
    }
    if (fieldWithPlaceholder("请输入用户名")) return fail("the login did not finish");
    loggedIn_ = true;
    return outcome;
}

Walk::Outcome Walk::commented() {
    if (!commentsShown_) return skip("it needs the comment list");
    if (options_.userName.empty()) return skip("no member to log in as (--tour-login)");
    if (!loggedIn_) return skip("it needs the login");
    auto field = fieldWithPlaceholder("我来说两句 ...");
    if (!field || !ui_.typeText(field, kComment)) return fail("the comment field takes no typing");
    ui_.tap(button("评论"));
    if (!settle([&] { return ui_.topPopup() != nullptr; })) return fail("the comment was not answered");
    std::string message = ui_.lastAlert() ? ui_.lastAlert()->message() : std::string();
    ui_.pressAlertButton(0);
    if (message != "评论成功") return fail("the comment was answered \"" + message + "\"");
    bool settled = settle([&] { return ui_.findViewWithText(kComment) != nullptr; });
    return shoot("07-commented.png", settled, "the comments after posting one");
}

Walk::Outcome Walk::publicAccount() {
    if (!moduleRegistry().maiWei) return skip("this build has no public-account page");
    backHome();
    ui_.tapText("先锋Velmarsh");
    auto shown = [&] {
        auto screen = ui_.frontViewController();
        return screen && screen->title() == "先锋Velmarsh";
    };
    bool settled = settle(shown);
    if (!shown()) return fail("the public-account page did not open");
    Outcome outcome = shoot("08-public-account.png", settled, "the public-account page");
    // Its back arrow, the only visible one.
    ui_.tap(ui_.findView<ui::Button>([](ui::Button& b) { return b.frame() == ui::Rect{10, 20, 40, 40}; }));
    settle([&] { return !shown(); });
    return outcome;
}

Walk::Outcome Walk::representative() {
    // No tile opens the directory; the tour does, as a member (the page is
    // for members only).
    if (!moduleRegistry().partyBehalf) return skip("this build has no representatives' directory");
    if (!loggedIn_) return skip("it needs the login");
    backHome();
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(ui_.keyWindow()->rootViewController());
    auto directory = moduleRegistry().partyBehalf();
    if (!nav || !directory) return fail("the directory did not open");
    nav->pushViewController(directory, false);
    auto firstTile = [&] { return ui_.findView<ui::Button>([](ui::Button& b) { return b.tag() == 1000; }); };
    for (const char* what : {"the counties", "the representatives"}) {
        auto screen = currentScreen();
        settle([&] { return firstTile() != nullptr; });
        if (!firstTile()) return fail(std::string(what) + " did not show");
        ui_.tap(firstTile());
        settle([&] { return currentScreen() != screen; });
    }
    if (!ui_.tapText("留言")) return fail("the representative's page did not open");
    bool settled = settle([&] { return ui_.findViewWithText("删除") != nullptr; });
    return shoot("09-representative.png", settled, "a representative's page, its messages");
}

// ---- Helpers ----

void Walk::backHome() {
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(ui_.keyWindow()->rootViewController());
    if (!nav) return;
    for (const auto& screen : {std::static_pointer_cast<ui::ViewController>(nav), nav->topViewController()})
        if (screen && screen->presentedViewController()) screen->dismissViewControllerAnimated(false);
    nav->popToRootViewControllerAnimated(false);
    settle();
}

bool Walk::quiet() const {
    if (net::NetworkActivity::count() > 0) return false;
    if (WebImageManager::sharedManager()->activeFetches() > 0) return false;
    if (ProgressHUD::isVisible()) return false;
    // Web views too that wait, unseen, for their page before they fade in.
    std::function<bool(const std::shared_ptr<ui::View>&)> loading = [&](const std::shared_ptr<ui::View>& v) {
        if (auto web = std::dynamic_pointer_cast<ui::WebView>(v); web && web->isLoading()) return true;
        for (const auto& sub : v->subviews())
            if (loading(sub)) return true;
        return false;
    };
    for (const auto& window : ui::Application::sharedApplication().windows())
        if (loading(window)) return false;
    return true;
}

bool Walk::settle(const std::function<bool()>& ready) {
    auto calm = [&] { return quiet() && (!ready || ready()); };
    auto deadline = Clock::now() + std::chrono::duration<double>(kStepSeconds);
    while (Clock::now() < deadline) {
        ui_.advance(0.1);
        if (calm()) {
            // Let animations, fades and delayed dismissals run out, then look again.
            ui_.advance(1.0);
            if (calm()) return true;
        }
        ui_.waitUntil(calm, 0.05);
    }
    return false;
}

Walk::Outcome Walk::shoot(const std::string& file, bool settled, const std::string& what) {
    fs::path path = folder_ / file;
    ui::Application::sharedApplication().layoutIfNeeded();
    if (!render::snapshotToPNG(path.string())) return fail("cannot write " + path.string());
    out_ << "  " << what << ": " << path.string() << "\n";
    if (!settled) return fail(what + " did not settle in " + std::to_string(static_cast<int>(kStepSeconds)) + " s");
    return Outcome::Taken;
}

std::shared_ptr<ui::ViewController> Walk::currentScreen() const {
    auto vc = ui_.frontViewController();
    for (int depth = 0; vc && depth < 8; ++depth) {
        if (auto reveal = std::dynamic_pointer_cast<SlideRevealController>(vc)) {
            vc = reveal->frontViewController();
        } else if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(vc)) {
            if (!nav->topViewController()) break;
            vc = nav->topViewController();
        } else {
            break;
        }
    }
    return vc;
}

std::shared_ptr<SlideRevealController> Walk::revealController() const {
    return std::dynamic_pointer_cast<SlideRevealController>(ui_.frontViewController());
}

std::shared_ptr<ui::Button> Walk::button(const std::string& title) const {
    return ui_.findView<ui::Button>([&](ui::Button& b) { return b.currentTitle() == title; });
}

std::shared_ptr<ui::TextField> Walk::fieldWithPlaceholder(const std::string& placeholder) const {
    return ui_.findView<ui::TextField>([&](ui::TextField& f) { return f.placeholder() == placeholder; });
}

}  // namespace

int run(const TourOptions& options, const ProgramHosts::Launch& launch, std::ostream& out, std::ostream& err) {
    Walk walk(options, out, err);
    return walk.run(launch);
}

}  // namespace tour
