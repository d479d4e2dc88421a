#include "uikit/Application.h"

#include <algorithm>
#include <cmath>

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/Notification.h"
#include "foundation/RunLoop.h"
#include "uikit/Alert.h"
#include "uikit/Control.h"
#include "uikit/Dump.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/SystemStandIns.h"
#include "uikit/ViewController.h"

namespace ui {

namespace {
std::shared_ptr<Application>& sharedHolder() {
    static std::shared_ptr<Application> app = std::make_shared<Application>();
    return app;
}
}  // namespace

Application& Application::sharedApplication() { return *sharedHolder(); }

// ---- Windows ----

void Application::windowVisibilityChanged(const std::shared_ptr<Window>& w, bool visible) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [&](const std::weak_ptr<Window>& x) { return x.expired() || x.lock() == w; }),
                   windows_.end());
    if (visible) windows_.push_back(w);
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> out;
    for (const auto& w : windows_) {
        if (auto s = w.lock()) {
            if (!s->isHidden()) out.push_back(s);
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a->windowLevel() < b->windowLevel(); });
    return out;
}

void Application::layoutIfNeeded() {
    for (auto& w : windows()) w->layoutIfNeeded();
    for (auto& p : visiblePopups()) p->layoutIfNeeded();
}

Rect Application::statusBarFrame() const {
    if (statusBarHidden_) return Rect{};
    return Rect(0, 0, Screen::mainScreen().bounds().size.width, Screen::kStatusBarHeight);
}

// ---- URLs ----

namespace {
std::string schemeOf(const std::string& url) {
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    std::string s = url.substr(0, colon);
    for (char c : s) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.')) return {};
    }
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}
}  // namespace

void Application::registerURLScheme(const std::string& scheme, URLHandler handler) {
    std::string s = scheme;
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    schemes_[s] = std::move(handler);
}

void Application::unregisterURLScheme(const std::string& scheme) {
    std::string s = scheme;
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    schemes_.erase(s);
}

namespace {
bool isWebScheme(const std::string& scheme) { return scheme == "http" || scheme == "https"; }
}  // namespace

bool Application::canOpenURL(const std::string& url) const {
    std::string s = schemeOf(url);
    if (s.empty()) return false;
    return schemes_.count(s) > 0 || (isWebScheme(s) && webOpener_);
}

bool Application::openURL(const std::string& url) {
    openedURLs_.push_back(url);
    const std::string scheme = schemeOf(url);
    auto it = schemes_.find(scheme);
    if (it != schemes_.end() && it->second) {
        auto handler = it->second;  // the handler may unregister itself
        return handler(url);
    }
    if (isWebScheme(scheme) && webOpener_) {
        auto opener = webOpener_;
        if (opener(url)) return true;
        ns::NSLog("openURL: the desktop could not open %@", url);
        return false;
    }
    ns::NSLog("openURL: nothing here opens %@", url);
    return false;
}

// ---- Lifecycle ----

void Application::postLifecycle(const char* name) { ns::NotificationCenter::defaultCenter().post(name, this); }

void Application::registerBundleURLSchemes() {
    ns::Value types = ns::Bundle::mainBundle()->objectForInfoDictionaryKey("CFBundleURLTypes");
    for (const auto& type : types.items()) {
        for (const auto& scheme : type["CFBundleURLSchemes"].items()) {
            if (!scheme.isString() || scheme.str().empty()) continue;
            registerURLScheme(scheme.str(), [this](const std::string& url) {
                auto d = delegate_;
                return d && d->application_openURL_sourceApplication_annotation(*this, url, "", ns::Value());
            });
        }
    }
}

bool Application::finishLaunching(const ns::Value& options) {
    registerBundleURLSchemes();
    bool ok = true;
    if (auto d = delegate_) ok = d->application_didFinishLaunchingWithOptions(*this, options);
    state_ = ApplicationStateInactive;
    becomeActive();
    return ok;
}

void Application::resignActive() {
    if (state_ != ApplicationStateActive) return;
    if (auto d = delegate_) d->applicationWillResignActive(*this);
    state_ = ApplicationStateInactive;
    postLifecycle(ns::UIApplicationWillResignActiveNotification);
}

void Application::enterBackground() {
    if (state_ == ApplicationStateBackground) return;
    resignActive();
    state_ = ApplicationStateBackground;
    if (auto d = delegate_) d->applicationDidEnterBackground(*this);
    postLifecycle(ns::UIApplicationDidEnterBackgroundNotification);
}

void Application::enterForeground() {
    if (state_ != ApplicationStateBackground) return;
    if (auto d = delegate_) d->applicationWillEnterForeground(*this);
    state_ = ApplicationStateInactive;
    postLifecycle(ns::UIApplicationWillEnterForegroundNotification);
    becomeActive();
}

void Application::becomeActive() {
    if (state_ == ApplicationStateActive) return;
    if (state_ == ApplicationStateBackground) {
        enterForeground();
        return;
    }
    state_ = ApplicationStateActive;
    if (auto d = delegate_) d->applicationDidBecomeActive(*this);
    postLifecycle(ns::UIApplicationDidBecomeActiveNotification);
}

void Application::terminate() {
    if (auto d = delegate_) d->applicationWillTerminate(*this);
    postLifecycle(ns::UIApplicationWillTerminateNotification);
}

// ---- Popups ----

void Application::showPopup(const std::shared_ptr<Popup>& popup) {
    if (!popup) return;
    if (std::find(popups_.begin(), popups_.end(), popup) != popups_.end()) return;
    if (touch_) cancelTouch();
    popups_.push_back(popup);
    shownPopups_.push_back(popup);
}

void Application::removePopup(const Popup* popup) {
    popups_.erase(std::remove_if(popups_.begin(), popups_.end(), [&](const auto& p) { return p.get() == popup; }),
                  popups_.end());
}

// ---- Touches ----

namespace {

double nowSeconds() { return ns::now().seconds; }

// The recognisers that see a touch on `hit`: those of the view and of its
// superviews, innermost first. A tap recogniser above an enabled control
// leaves the control's taps alone.
std::vector<std::shared_ptr<GestureRecognizer>> recognizersFor(const std::shared_ptr<View>& hit, const Touch& touch) {
    std::vector<std::shared_ptr<GestureRecognizer>> out;
    bool belowControl = false;
    for (auto v = hit; v; v = v->superview()) {
        for (auto& r : v->gestureRecognizers()) {
            if (!r->isEnabled()) continue;
            if (belowControl && r->yieldsToControls()) continue;
            if (auto d = r->delegate()) {
                if (!d->gestureRecognizer_shouldReceiveTouch(r, touch)) continue;
            }
            out.push_back(r);
        }
        if (auto c = std::dynamic_pointer_cast<Control>(v)) {
            if (c->isEnabled()) belowControl = true;
        }
    }
    return out;
}

// A screen point in the window's own coordinates.
Point screenToWindow(const Window& w, Point p) {
    Rect f = w.frame(), b = w.bounds();
    return Point{p.x - f.origin.x + b.origin.x, p.y - f.origin.y + b.origin.y};
}

}  // namespace

Point Application::touchPointInWindow(Point screenPoint) const {
    return touchWindow_ ? screenToWindow(*touchWindow_, screenPoint) : screenPoint;
}

std::shared_ptr<View> Application::beginTouch(Point p) {
    if (touch_) cancelTouch();
    if (!popups_.empty()) return nullptr;
    layoutIfNeeded();
    std::shared_ptr<View> hit;
    std::shared_ptr<Window> hitWindow;
    Point local;
    auto ws = windows();
    for (auto it = ws.rbegin(); it != ws.rend() && !hit; ++it) {
        local = screenToWindow(**it, p);
        hit = (*it)->hitTest(local, nullptr);
        if (hit) hitWindow = *it;
    }
    if (!hit) return nullptr;
    // The touch keeps its place in the coordinates of the window it began in.
    touch_ = std::make_shared<Touch>();
    touch_->setUp(hit, hitWindow, local, nowSeconds());
    touchView_ = hit;
    touchWindow_ = hitWindow;
    touchWinner_.reset();
    touchCancelledForView_ = false;
    touchRecognizers_ = recognizersFor(hit, *touch_);
    for (auto& r : touchRecognizers_) {
        r->reset();
        r->touchBegan(touch_);
    }
    Event event{TouchSet{{touch_}}, nowSeconds()};
    hit->touchesBegan(TouchSet{{touch_}}, &event);
    return hit;
}

void Application::moveTouch(Point p) {
    if (!touch_) return;
    auto touch = touch_;
    touch->moveTo(touchPointInWindow(p), TouchPhaseMoved, nowSeconds());
    if (!touchWinner_) {
        for (auto& r : touchRecognizers_) {
            if (r->state() == GestureRecognizerStateFailed) continue;
            r->touchMoved(touch);
            if (r->hasRecognized()) {
                touchWinner_ = r;
                break;
            }
        }
        if (touchWinner_) {
            for (auto& r : touchRecognizers_) {
                if (r != touchWinner_) r->reset();
            }
            if (touchWinner_->cancelsTouchesInView() && !touchCancelledForView_) {
                touchCancelledForView_ = true;
                Event event{TouchSet{{touch}}, nowSeconds()};
                touchView_->touchesCancelled(TouchSet{{touch}}, &event);
            }
        }
    } else {
        touchWinner_->touchMoved(touch);
    }
    if (!touchCancelledForView_ && touch_ == touch) {
        Event event{TouchSet{{touch}}, nowSeconds()};
        touchView_->touchesMoved(TouchSet{{touch}}, &event);
    }
}

void Application::endTouch(Point p) { touchEndedOrCancelled(false, touchPointInWindow(p)); }

void Application::cancelTouch() { touchEndedOrCancelled(true, touch_ ? touch_->windowLocation() : Point{}); }

void Application::touchEndedOrCancelled(bool cancelled, Point p) {
    if (!touch_) return;
    auto touch = touch_;
    auto view = touchView_;
    auto recognizers = touchRecognizers_;
    auto winner = touchWinner_;
    bool viewCancelled = touchCancelledForView_;
    touch_.reset();
    touchView_.reset();
    touchWindow_.reset();
    touchRecognizers_.clear();
    touchWinner_.reset();
    touchCancelledForView_ = false;

    touch->moveTo(p, cancelled ? TouchPhaseCancelled : TouchPhaseEnded, nowSeconds());
    if (cancelled) {
        for (auto& r : recognizers) r->touchCancelled(touch);
    } else if (winner) {
        winner->touchEnded(touch);
    } else {
        for (auto& r : recognizers) {
            if (r->state() == GestureRecognizerStateFailed) continue;
            r->touchEnded(touch);
            if (r->hasRecognized()) {
                winner = r;
                break;
            }
        }
    }
    Event event{TouchSet{{touch}}, nowSeconds()};
    if (!viewCancelled) {
        if (cancelled || (winner && winner->cancelsTouchesInView())) {
            view->touchesCancelled(TouchSet{{touch}}, &event);
        } else {
            view->touchesEnded(TouchSet{{touch}}, &event);
        }
    }
    for (auto& r : recognizers) r->reset();
}

// ---- Dump ----

std::string Application::dump() {
    layoutIfNeeded();
    std::string out;
    for (auto& w : windows()) {
        out += dumpViewTree(*w);
    }
    for (auto& p : visiblePopups()) {
        out += p->kind() + " " + p->debugText();
        if (p->tag()) out += " tag=" + std::to_string(p->tag());
        out += "\n";
    }
    return out;
}

// ---- Reset ----

void Application::resetForTesting() {
    auto& app = sharedApplication();
    app.touch_.reset();
    app.touchView_.reset();
    app.touchWindow_.reset();
    app.touchRecognizers_.clear();
    app.touchWinner_.reset();
    app.popups_.clear();
    app.shownPopups_.clear();
    for (auto& w : app.windows()) {
        w->View::setHidden(true);
    }
    app.windows_.clear();
    app.keyWindow_.reset();
    app.delegate_.reset();
    app.schemes_.clear();
    app.webOpener_ = nullptr;
    app.openedURLs_.clear();
    app.networkActivity_ = false;
    app.statusBarHidden_ = false;
    app.statusBarStyle_ = StatusBarStyleDefault;
    app.state_ = ApplicationStateActive;
    Responder::resetFirstResponderForTesting();
    Screen::mainScreen().resetForTesting();
    Image::clearCache();
    resetStandInsForTesting();
}

}  // namespace ui
