// The desktop window: the phone's screen drawn at 2x in an SDL window, the
// mouse as a finger, the keyboard (and the input method) typing into the
// field being edited.
//
//   if (window::displayAvailable()) return window::runWindowed(ui::Application::sharedApplication());
//
// Mouse: a press, drag and release of the left button become one touch
// through the application's touch dispatcher (taps, gestures, scrolling,
// pulling a list down); while an alert or sheet is up they press its
// buttons instead. The wheel scrolls the scroll view under the pointer; at
// the end of its content, the wheel turned on downwards pulls it up past the
// end as a finger would, and the pull is released once the wheel has been
// still for kWheelReleaseSeconds (a list then loads its next page by the
// rule of the finger's pull), or at once when the wheel turns up, which then
// scrolls the list as it does elsewhere.
// Pickers turn as a finger turns them: a drag moves the column under it by
// the rows dragged over, a tap above or below the middle row turns to the
// row tapped, and the wheel turns them a row a notch.
// Keyboard: text (from the keyboard or the input method) is inserted into
// the first responder; Backspace deletes, Return inserts "\n", Ctrl+V pastes.
//
// The loop sleeps in the main run loop, which also waits on the display's
// connection (X11 or Wayland), until an event comes, the next timer is due,
// work is posted to it from any thread, or the network has something; it
// redraws only after something happened that can change the screen.
#pragma once

#include <SDL.h>

#include <functional>
#include <memory>
#include <string>

#include "foundation/RunLoop.h"
#include "render/Canvas.h"
#include "uikit/Application.h"

namespace ui {
class ScrollView;
}

namespace window {

struct Options {
    // Window pixels per point; 0: the screen's scale, made smaller when the
    // display is too small for it. The picture is drawn at the screen's scale.
    double scale = 0;
    std::string title = "Kestrowline";
};

class Host {
public:
    // How long after the wheel's last notch a pull it made counts as released.
    static constexpr double kWheelReleaseSeconds = 0.35;

    explicit Host(ui::Application& app, const Options& options = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Whether the window opened (else error() says why: also when no display
    // answers and SDL falls back on a driver that draws where nobody sees it,
    // unless SDL_VIDEODRIVER asked for that). What the Wayland library says
    // while SDL looks for a display goes into that reason when a Wayland
    // display was named, and nowhere when none was; it writes nothing of its
    // own before the program's message.
    bool isOpen() const { return window_ != nullptr && !closed_; }
    const std::string& error() const { return error_; }

    // One pass of the loop: waits (at most maxWait seconds; negative: as
    // long as nothing happens) for an event, the next timer or posted work;
    // handles the events that came, runs the work that is due and redraws
    // when needed. False once the window has been closed or the main run
    // loop was asked to stop (as the program does on SIGINT and SIGTERM).
    bool runOnce(double maxWait = -1);

    // Handles one event as the loop would (tests may feed events directly).
    void handleEvent(const SDL_Event& event);
    // Draws the screen and shows it now.
    void redraw();
    bool needsRedraw() const { return dirty_; }
    // Frames drawn so far.
    int frameCount() const { return frames_; }
    // The last frame drawn.
    const render::Canvas& canvas() const { return *canvas_; }

    SDL_Window* sdlWindow() const { return window_; }
    // Where a screen point is in the window's logical pixels (what mouse
    // events carry) and back.
    SDL_Point toWindow(ui::Point p) const;
    ui::Point toScreen(int x, int y) const;

private:
    void mouseDown(ui::Point p);
    void mouseMoved(ui::Point p);
    void mouseUp(ui::Point p);
    void wheel(double dx, double dy);
    // The wheel's pull past the end: released after the wheel has been still.
    void holdWheelPull();
    void releaseWheelPull();
    void typeText(const std::string& text);
    void key(const SDL_KeyboardEvent& e);
    void placeInputMethod();
    // The display's connection, as the main run loop watches it.
    struct DisplaySource : ns::RunLoopSource {
        bool descriptorReady(int, unsigned) override { return false; }  // the events are read after the wait
    };
    std::shared_ptr<ui::View> viewAt(ui::Point p) const;

    ui::Application& app_;
    std::string error_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::unique_ptr<render::Canvas> canvas_;
    std::unique_ptr<DisplaySource> display_;
    int displayFd_ = -1;
    bool quietDriver_ = false;  // offscreen and dummy: no events from outside
    bool closed_ = false;
    bool stopped_ = false;
    bool dirty_ = true;
    int frames_ = 0;
    bool touching_ = false;
    ui::Point pointer_;
    // A picker being turned by the touch in progress.
    std::weak_ptr<ui::View> picker_;
    int pickerColumn_ = -1;
    ui::Point pickerStart_;
    // The scroll view the wheel is pulling past its end.
    std::weak_ptr<ui::ScrollView> wheelPull_;
    // A button of an alert or sheet being pressed.
    std::weak_ptr<ui::Popup> pressedPopup_;
    int pressedButton_ = -1;
};

// Opens the window on the application's screen, calls `opened` (where the
// caller launches the application), and runs until the window is closed or
// the main run loop is asked to stop: 0. When no window opens, 1, `opened`
// not called and the reason in `error` (else logged). Terminating the
// application is the caller's. While it runs, the web addresses the program
// opens go to the desktop's opener (desktopURLOpener) when the window is on
// a desktop.
int runWindowed(ui::Application& app, const std::function<void()>& opened = {}, std::string* error = nullptr,
                const Options& options = {});

// Hands a web address to "xdg-open", found in the folders of the search path
// (PATH's form): YES once it has been started. nullptr when there is none.
std::function<bool(const std::string&)> desktopURLOpener(const std::string& searchPath);

// Whether a window can be shown: a display to connect to, or a video driver
// chosen through SDL_VIDEODRIVER. (Whether the display answers shows as the
// window opens: when none does, SDL would draw where nobody sees it, and the
// window does not open unless SDL_VIDEODRIVER chose that driver.)
bool displayAvailable();

}  // namespace window
