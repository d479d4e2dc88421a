// The application: its delegate and windows, URL opening, the status bar and
// network indicator, the lifecycle, the alerts and sheets on screen, and the
// touch dispatcher that the test driver and the window host feed.
//
//   auto& app = ui::Application::sharedApplication();
//   app.setDelegate(appDelegate);
//   app.finishLaunching();                       // didFinishLaunching, didBecomeActive
//   app.openURL("telprompt://12345");
//
// URL schemes are answered by handlers that tests (and peer apps) register:
//   app.registerURLScheme("maiwei", [](const std::string& url) { ...; return true; });
// The application's own schemes (the bundle's CFBundleURLTypes, each with its
// CFBundleURLSchemes) are registered at launch: a URL of one of them goes to
// the delegate's application_openURL_sourceApplication_annotation.
// Web addresses (http, https) that no handler takes go to the web opener the
// host sets (the desktop window hands them to the desktop's browser); a URL
// that nothing opens is written to the log, so it is not lost unseen.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Responder.h"
#include "uikit/Window.h"

namespace ui {

class Application;
class Popup;
class GestureRecognizer;

enum ApplicationState {
    ApplicationStateActive = 0,
    ApplicationStateInactive,
    ApplicationStateBackground,
};

enum StatusBarStyle {
    StatusBarStyleDefault = 0,
    StatusBarStyleLightContent = 1,
};

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual bool application_didFinishLaunchingWithOptions(Application&, const ns::Value& /*options*/) {
        return true;
    }
    virtual void applicationWillResignActive(Application&) {}
    virtual void applicationDidEnterBackground(Application&) {}
    virtual void applicationWillEnterForeground(Application&) {}
    virtual void applicationDidBecomeActive(Application&) {}
    virtual void applicationWillTerminate(Application&) {}
    virtual bool application_handleOpenURL(Application&, const std::string& /*url*/) { return false; }
    // A URL of one of the application's own schemes that another app opened.
    // A delegate without this callback hears application_handleOpenURL.
    virtual bool application_openURL_sourceApplication_annotation(Application& app, const std::string& url,
                                                                   const std::string& /*sourceApplication*/,
                                                                   const ns::Value& /*annotation*/) {
        return application_handleOpenURL(app, url);
    }
};

class Application : public Responder {
public:
    static Application& sharedApplication();

    std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<ApplicationDelegate> d) { delegate_ = std::move(d); }

    // ---- Windows ----
    // The visible windows, back to front (by level, then by order shown).
    std::vector<std::shared_ptr<Window>> windows() const;
    std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
    // Runs pending layout in every window.
    void layoutIfNeeded();

    // ---- URLs ----
    using URLHandler = std::function<bool(const std::string& url)>;
    void registerURLScheme(const std::string& scheme, URLHandler handler);
    void unregisterURLScheme(const std::string& scheme);
    // YES when a handler is registered for the URL's scheme, or a web opener
    // is set and the URL is an http or https one.
    bool canOpenURL(const std::string& url) const;
    // Records the URL, then hands it to its scheme's handler, or (http, https)
    // to the web opener; YES when one took it. Else logs it and answers NO.
    bool openURL(const std::string& url);
    // The host's way to show web pages (nullptr: none, the default).
    void setWebURLOpener(URLHandler opener) { webOpener_ = std::move(opener); }
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }

    // ---- Status bar and indicator ----
    bool isNetworkActivityIndicatorVisible() const { return networkActivity_; }
    void setNetworkActivityIndicatorVisible(bool v) { networkActivity_ = v; }
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool h) { statusBarHidden_ = h; }
    StatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(StatusBarStyle s) { statusBarStyle_ = s; }
    Rect statusBarFrame() const;

    // ---- Lifecycle (the host and tests drive it) ----
    // Each step calls the delegate, then posts the platform's notification.
    ApplicationState applicationState() const { return state_; }
    // Registers the bundle's URL schemes, then did finish launching, then become active.
    bool finishLaunching(const ns::Value& options = {});
    void resignActive();
    void enterBackground();   // resigns active first when active
    void enterForeground();   // will enter foreground, then become active
    void becomeActive();
    void terminate();

    // ---- Alerts and sheets ----
    // Those on screen, bottom to top; the top one takes the touches.
    std::vector<std::shared_ptr<Popup>> visiblePopups() const { return popups_; }
    // Every one shown since the last reset, in order.
    const std::vector<std::shared_ptr<Popup>>& shownPopups() const { return shownPopups_; }
    void showPopup(const std::shared_ptr<Popup>& popup);
    void removePopup(const Popup* popup);

    // ---- Touches (one finger) ----
    // Screen coordinates. A touch goes to the frontmost visible window that
    // hit-tests a view under the point; while an alert or sheet is up it
    // goes nowhere. beginTouch returns the view touched. The touch itself
    // reports its place in that window's coordinates (Touch::windowLocation,
    // locationInView), wherever the window lies on the screen.
    std::shared_ptr<View> beginTouch(Point screenPoint);
    void moveTouch(Point screenPoint);
    void endTouch(Point screenPoint);
    void cancelTouch();
    bool isTouching() const { return touch_ != nullptr; }

    // The whole screen as text: windows with their view trees, then alerts.
    std::string dump();

    std::shared_ptr<Responder> nextResponder() const override { return nullptr; }

    // Back to a fresh application: no delegate, windows, popups, URLs,
    // schemes or first responder; active; the screen reset.
    static void resetForTesting();

    // Windows register themselves when shown.
    void windowVisibilityChanged(const std::shared_ptr<Window>& w, bool visible);
    void setKeyWindow(const std::shared_ptr<Window>& w) { keyWindow_ = w; }

private:
    void postLifecycle(const char* name);
    void registerBundleURLSchemes();
    // `p` in the touch's window coordinates.
    void touchEndedOrCancelled(bool cancelled, Point p);
    Point touchPointInWindow(Point screenPoint) const;

    std::shared_ptr<ApplicationDelegate> delegate_;
    std::vector<std::weak_ptr<Window>> windows_;
    std::weak_ptr<Window> keyWindow_;
    std::map<std::string, URLHandler> schemes_;
    URLHandler webOpener_;
    std::vector<std::string> openedURLs_;
    bool networkActivity_ = false;
    bool statusBarHidden_ = false;
    StatusBarStyle statusBarStyle_ = StatusBarStyleDefault;
    ApplicationState state_ = ApplicationStateActive;
    std::vector<std::shared_ptr<Popup>> popups_;
    std::vector<std::shared_ptr<Popup>> shownPopups_;

    // The touch in progress.
    TouchPtr touch_;
    std::shared_ptr<View> touchView_;
    std::shared_ptr<Window> touchWindow_;
    std::vector<std::shared_ptr<GestureRecognizer>> touchRecognizers_;
    std::shared_ptr<GestureRecognizer> touchWinner_;
    bool touchCancelledForView_ = false;
};

}  // namespace ui
