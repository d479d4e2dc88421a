#include "tour/Tour.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/images/WebImageManager.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/ModuleRegistry.h"
#include "app/widgets/ProgressHUD.h"
#include "app/widgets/SlideRevealController.h"
#include "foundation/DateTime.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "net/NetworkActivity.h"
#include "render/Renderer.h"
#include "service/ServiceConfig.h"
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

// Whether a list with rows shows under the view: a table with rows, or a
// scroll view of boxes with text in them.
bool showsRows(const std::shared_ptr<ui::View>& view) {
    auto table = findIn<ui::TableView>(view, [](ui::TableView& t) {
        for (long s = 0; s < t.numberOfSections(); ++s)
            if (t.numberOfRowsInSection(s) > 0) return true;
        return false;
    });
    auto boxes = findIn<ui::ScrollView>(view, [](ui::ScrollView& scroll) {
        if (dynamic_cast<ui::TableView*>(&scroll)) return false;
        for (const auto& box : scroll.subviews())
            if (findIn<ui::Label>(box, [](ui::Label& l) { return !l.text().empty(); })) return true;
        return false;
    });
    return table || boxes;
}

bool showsAnything(const std::shared_ptr<ui::View>&) { return true; }

// Whether a web page with something on it shows under the view.
bool showsPage(const std::shared_ptr<ui::View>& view) {
    return findIn<ui::WebView>(view, [](ui::WebView& web) {
               return !web.isLoading() && web.pageLayout() && !web.pageLayout()->boxes().empty();
           }) != nullptr;
}

// The tour's clock: 09:41 on the 28th of this month, whatever day it is, so
// that the pictures are the same on every day of a month. The status bar's
// clock shows the time; the sign-in calendar shows this month, which the demo
// service's sample sign-ins fall in, and whether today is signed: the 28th,
// which every month has, is none of their days.
constexpr int kTourDay = 28;
bool startClock() {
    const ns::DateComponents today = ns::dateComponents(ns::now());
    ns::Date start = ns::dateFromComponents(today.year, today.month, kTourDay, 9, 41).value_or(ns::now());
    ns::RunLoop::useManualClock(start);
    return true;
}

// The pictures a tour writes, every step's by its exact name: an earlier
// tour's are removed, any other file in the folder (a person's own
// "01-family.png") is left alone.
bool isTourPicture(const fs::path& path) {
    static const std::string_view kNames[] = {
        "01-home.png",         "02-module.png",         "03-news.png",          "04-article.png",
        "05-comments.png",     "06-login.png",          "07-commented.png",     "08-direct-line.png",
        "09-party-building.png", "10-party-school.png", "11-grid.png",          "12-convenience.png",
        "13-sms.png",          "14-sign-in.png",        "15-mervio.png",        "16-representative.png"};
    const std::string name = path.filename().string();
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// What a line of the service client's errors holds.
constexpr std::string_view kError = "Error Domain=NetWebServiceRequestErrorDomain Code=";

// The message of a service failure as the log gives it: the quoted
// description of the last error line of the service client, if any. Read
// without a regular expression: a line may be long.
std::string serviceFailure(const ns::LogCapture& log, std::size_t from) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::string found;
    log.forEachLine(from, [&](std::string_view line) {
        for (std::size_t at = line.find(kError); at != std::string_view::npos; at = line.find(kError, at + 1)) {
            std::size_t p = at + kError.size();
            if (p < line.size() && line[p] == '-') ++p;
            const std::size_t digits = p;
            while (p < line.size() && isDigit(line[p])) ++p;
            if (p == digits || line.substr(p, 2) != " \"") continue;
            const std::size_t close = line.find('"', p + 2);
            if (close == std::string_view::npos) continue;
            found = std::string(line.substr(p + 2, close - p - 2));
            break;
        }
    });
    return found;
}

// Why no file can be written into the folder ("" when one can): a file of
// its own made there and removed again.
std::string cannotWriteInto(const fs::path& folder) {
    std::string probe = (folder / ".kl-tour-XXXXXX").string();
    const int fd = mkstemp(probe.data());
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

class Walk {
public:
    Walk(const TourOptions& options, std::ostream& out, std::ostream& err)
        : options_(options), folder_(fs::absolute(options.folder)), out_(out), err_(err) {}

    int run(const ProgramHosts::Launch& launch);

private:
    enum class Outcome { Taken, Skipped, Failed };

    // A module reached from the home screen: a tile, or the title bar's button.
    struct Door {
        const char* title;  // what to touch
        const char* file;
        const char* what;
        bool needsLogin;
        const char* then;  // a button to touch once the screen is there, or nullptr
        bool (*ready)(const std::shared_ptr<ui::View>&);
        std::function<bool()> built;
    };

    Outcome home();
    Outcome module();
    Outcome news();
    Outcome article();
    Outcome comments();
    Outcome login();
    Outcome commented();
    Outcome through(const Door& door);
    Outcome representative();

    Outcome skip(std::string why) {
        why_ = std::move(why);
        return Outcome::Skipped;
    }
    Outcome fail(std::string why) {
        why_ = std::move(why);
        return Outcome::Failed;
    }
    // A step for members only, without one logged in: for want of a member
    // to log in as, or because the login above did not go through.
    Outcome skipForLogin() {
        if (options_.userName.empty()) return skip("it needs a member logged in (--tour-login)");
        return skip("it needs the member logged in, and the login above did not go through");
    }

    // Nothing under way: no service request or picture download, no page
    // loading, no progress overlay.
    bool quiet() const;
    // Whether the tour is to end now (a signal came).
    bool stopped() const { return options_.interrupted && options_.interrupted(); }
    // The service's failure logged since the step began ("" when none).
    std::string failureInStep() const { return serviceFailure(log_, stepLog_); }
    // Runs the program (its clock in small steps, for animations and delayed
    // calls) until it is quiet and the condition holds; false after
    // kStepSeconds, or as soon as it is quiet after the service failed.
    bool settle(const std::function<bool()>& ready = {});
    // The picture of the screen; the outcome of a step that ends with it.
    Outcome shoot(const std::string& file, bool settled, const std::string& what);
    // Back to the home screen, nothing presented over it.
    void goHome();
    void removeEarlierPictures();

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
    // The service's failures as the log gives them; every line is still
    // written out. Only those lines are kept: screens log whole replies.
    ns::LogCapture log_{ns::LogCapture::Echo::Yes,
                        [](std::string_view line) { return line.find(kError) != std::string_view::npos; }};
    std::size_t stepLog_ = 0;  // the log's lines before the step
    bool clock_ = startClock();
    ui::TestDriver ui_;  // on that clock, before the application starts
    std::shared_ptr<AppDelegate> delegate_;

    bool listShown_ = false;
    bool articleShown_ = false;
    bool commentsShown_ = false;
    bool loggedIn_ = false;
    int pictures_ = 0;
};

int Walk::run(const ProgramHosts::Launch& launch) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (!fs::is_directory(folder_)) {
        err_ << "kestrowline: cannot make the folder " << folder_.string() << (ec ? ": " + ec.message() : "") << "\n";
        return 1;
    }
    // A folder that takes no pictures fails the tour once, before any step.
    if (std::string why = cannotWriteInto(folder_); !why.empty()) {
        err_ << "kestrowline: cannot write into the folder " << folder_.string() << ": " << why << "\n";
        return 1;
    }
    removeEarlierPictures();
    out_ << "Tour of the screens; pictures go to " << folder_.string() << "\n" << std::flush;
    delegate_ = launch();

    const auto& modules = moduleRegistry();
    const std::vector<Door> doors = {
        {"党群直通", "08-direct-line.png", "the direct line's petitions", false, nullptr, showsRows,
         [&] { return modules.dq.isBuilt(); }},
        {"Velmarsh党建", "09-party-building.png", "the regional party-building page", false, nullptr, showsPage,
         [&] { return static_cast<bool>(modules.webScreen); }},
        {"移动党校", "10-party-school.png", "the party school's study list", false, nullptr, showsRows,
         [&] { return modules.yddx.isBuilt(); }},
        {"党建网格", "11-grid.png", "the grid's organisations", true, nullptr, showsRows,
         [&] { return modules.djwg.isBuilt(); }},
        {"便民服务", "12-convenience.png", "the convenience links", false, nullptr, showsRows,
         [&] { return static_cast<bool>(modules.bmfw); }},
        {"短信平台", "13-sms.png", "the SMS platform's organisation tree", true, "选择人员", showsRows,
         [&] { return static_cast<bool>(modules.sms); }},
        {"签到", "14-sign-in.png", "the sign-in calendar", true, nullptr, showsAnything,
         [&] { return static_cast<bool>(modules.signList); }},
        {"先锋Velmarsh", "15-mervio.png", "the Mervio page", false, nullptr, showsAnything,
         [&] { return static_cast<bool>(modules.maiWei); }},
    };
    struct Step {
        std::string name;
        std::function<Outcome()> take;
    };
    std::vector<Step> steps = {
        {"home", [this] { return home(); }},         {"module", [this] { return module(); }},
        {"news list", [this] { return news(); }},    {"article", [this] { return article(); }},
        {"comments", [this] { return comments(); }}, {"login", [this] { return login(); }},
        {"commented", [this] { return commented(); }},
    };
    for (const auto& door : doors) steps.push_back({door.title, [this, &door] { return through(door); }});
    steps.push_back({"representative", [this] { return representative(); }});

    int failed = 0;
    bool serviceDown = false;  // once the service failed or did not answer
    bool interrupted = false;
    for (const auto& step : steps) {
        if (stopped()) {
            out_ << "  interrupted before " << step.name << "; the steps from there on are not taken\n";
            interrupted = true;
            break;
        }
        why_.clear();
        stepLog_ = log_.lineCount();
        Outcome outcome;
        if (serviceDown) {
            outcome = skip("the service failed above");
        } else {
            try {
                outcome = step.take();
            } catch (const std::exception& e) {
                outcome = fail(e.what());
            }
            if (stopped()) {
                out_ << "  interrupted during " << step.name << "; the steps after it are not taken\n";
                interrupted = true;
                break;
            }
            if (std::string failure = failureInStep(); !failure.empty() && outcome != Outcome::Skipped) {
                outcome = fail("the service at " + ServiceConfig::endpoint() + " failed: " + failure);
                serviceDown = true;
            } else if (outcome == Outcome::Failed && net::NetworkActivity::count() > 0) {
                why_ += "; the service at " + ServiceConfig::endpoint() + " did not answer";
                serviceDown = true;
            }
            // An alert left by the step (a failure's) does not stand in the next one's way.
            while (ui_.topPopup()) ui_.pressAlertButton(0);
        }
        if (outcome == Outcome::Skipped) out_ << "  " << step.name << ": skipped, " << why_ << "\n";
        if (outcome == Outcome::Failed) {
            ++failed;
            out_ << "  " << step.name << ": FAILED, " << why_ << "\n";
        }
        out_ << std::flush;
    }
    out_ << pictures_ << (pictures_ == 1 ? " picture in " : " pictures in ") << folder_.string();
    if (failed) out_ << "; " << failed << " step(s) failed";
    if (interrupted) out_ << "; interrupted";
    out_ << "\n" << std::flush;
    return failed || interrupted ? 1 : 0;
}

void Walk::removeEarlierPictures() {
    std::error_code ec;
    std::vector<fs::path> earlier;
    for (const auto& entry : fs::directory_iterator(folder_, ec))
        if (entry.is_regular_file(ec) && isTourPicture(entry.path())) earlier.push_back(entry.path());
    for (const auto& path : earlier) fs::remove(path, ec);
}

// ---- Steps ----

Walk::Outcome Walk::home() {
    bool settled = settle([&] { return delegate_->isStartupSettled() && ui_.findViewWithText(kModuleTile); });
    return shoot("01-home.png", settled, "home");
}

Walk::Outcome Walk::module() {
    if (!moduleRegistry().sszt.isBuilt()) return skip("this build has no current-affairs module");
    ui_.tapText(kModuleTile);
    bool settled = settle([&] {
        auto screen = currentScreen();
        return screen && showsRows(screen->view());
    });
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
        goHome();
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
    if (!loggedIn_) return skipForLogin();
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

Walk::Outcome Walk::through(const Door& door) {
    if (!door.built()) return skip("not in this build");
    if (door.needsLogin && !loggedIn_) return skipForLogin();
    goHome();
    auto before = currentScreen();
    auto entrance = button(door.title);
    if (!entrance) return fail(std::string("the home screen has no ") + door.title);
    ui_.tap(entrance);
    auto opened = [&] {
        auto screen = currentScreen();
        return screen && screen != before;
    };
    bool settled = settle(opened);
    if (!opened()) return fail(std::string(door.what) + " did not open");
    if (door.then) {
        auto next = button(door.then);
        if (!next) return fail(std::string("the screen has no ") + door.then);
        ui_.tap(next);
    }
    settled = settle([&] { return door.ready(currentScreen()->view()); }) && settled;
    return shoot(door.file, settled, door.what);
}

Walk::Outcome Walk::representative() {
    // No tile opens the directory; the tour does, as a member (the page is
    // for members only).
    if (!moduleRegistry().partyBehalf) return skip("not in this build");
    if (!loggedIn_) return skipForLogin();
    goHome();
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
    return shoot("16-representative.png", settled, "a representative's page, its messages");
}

// ---- Helpers ----

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
    auto failed = [&] { return quiet() && !failureInStep().empty(); };
    auto deadline = Clock::now() + std::chrono::duration<double>(kStepSeconds);
    while (Clock::now() < deadline && !stopped()) {
        ui_.advance(0.1);
        if (calm()) {
            // Let animations, fades and delayed dismissals run out, then look again.
            ui_.advance(1.0);
            if (calm()) return true;
        }
        if (failed()) return false;
        ui_.waitUntil([&] { return calm() || failed() || stopped(); }, 0.05);
    }
    return false;
}

Walk::Outcome Walk::shoot(const std::string& file, bool settled, const std::string& what) {
    fs::path path = folder_ / file;
    ui::Application::sharedApplication().layoutIfNeeded();
    // Whole or not at all: a picture that cannot be written leaves nothing of itself.
    if (std::string why; !render::snapshotToPNG(path.string(), &why)) return fail("cannot write " + why);
    ++pictures_;
    out_ << "  " << what << ": " << path.string() << "\n";
    if (!settled) return fail(what + " did not settle in " + std::to_string(static_cast<int>(kStepSeconds)) + " s");
    return Outcome::Taken;
}

void Walk::goHome() {
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(ui_.keyWindow()->rootViewController());
    if (!nav) return;
    for (const auto& screen : {std::static_pointer_cast<ui::ViewController>(nav), nav->topViewController()})
        if (screen && screen->presentedViewController()) screen->dismissViewControllerAnimated(false);
    if (nav->viewControllers().size() > 1) nav->popToRootViewControllerAnimated(false);
    settle();
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
