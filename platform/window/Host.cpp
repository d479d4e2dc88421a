#include "window/Host.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <SDL_syswm.h>
#include <dlfcn.h>

#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "render/Renderer.h"
#include "uikit/Alert.h"
#include "uikit/PickerView.h"
#include "uikit/Responder.h"
#include "uikit/ScrollView.h"
#include "uikit/Window.h"

namespace window {

namespace {

// The picker the view is or lies in, if any.
std::shared_ptr<ui::View> pickerOf(std::shared_ptr<ui::View> v) {
    for (; v; v = v->superview()) {
        if (std::dynamic_pointer_cast<ui::PickerView>(v) || std::dynamic_pointer_cast<ui::DatePicker>(v)) return v;
    }
    return nullptr;
}

// A screen point in the view's coordinates.
ui::Point screenToView(const ui::View& v, ui::Point p) {
    if (auto w = v.window()) {
        p = ui::Point{p.x - w->frame().origin.x + w->bounds().origin.x, p.y - w->frame().origin.y + w->bounds().origin.y};
    }
    return v.convertPoint_fromView(p, nullptr);
}

// How far a finger must move for a touch to be a drag rather than a tap.
constexpr double kTapSlop = 6;

// Points the content moves for one notch of the wheel.
constexpr double kWheelStep = 40;
// The delayed call that releases the wheel's pull.
constexpr const char* kWheelRelease = "releaseWheelPull";

// A function of a library that SDL has loaded, or null.
void* loadedSymbol(const char* library, const char* name) {
    void* lib = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    if (!lib) return nullptr;
    void* fn = dlsym(lib, name);
    dlclose(lib);
    return fn;
}

// libwayland-client writes its complaints to standard error itself: SDL,
// looking for a Wayland display that nobody named, makes it say "error:
// XDG_RUNTIME_DIR is invalid or not set in the environment." before the
// program has said anything. While SDL starts its video, those lines are
// kept instead, for the reason a window cannot open; at other times they go
// to standard error as before.
struct WaylandLog {
    std::mutex mutex;
    bool keeping = false;
    std::string kept;
};

WaylandLog& waylandLog() {
    static auto* log = new WaylandLog;  // never destroyed: the library may log while the process exits
    return *log;
}

void onWaylandLog(const char* format, va_list arguments) {
    char line[1024];
    std::vsnprintf(line, sizeof line, format, arguments);
    WaylandLog& log = waylandLog();
    std::lock_guard lock(log.mutex);
    if (log.keeping) {
        log.kept += line;
    } else {
        std::fputs(line, stderr);
    }
}

// Routes libwayland-client's log through onWaylandLog, once (the library
// loaded for it, where SDL would load it only later, and kept loaded).
void routeWaylandLog() {
    static const bool routed = [] {
        void* library = dlopen("libwayland-client.so.0", RTLD_LAZY);
        if (!library) return false;  // no Wayland here: nothing to route
        using Handler = void (*)(const char*, va_list);
        using SetHandler = void (*)(Handler);
        auto set = reinterpret_cast<SetHandler>(dlsym(library, "wl_log_set_handler_client"));
        if (set) set(onWaylandLog);
        return set != nullptr;
    }();
    (void)routed;
}

// Keeps libwayland-client's lines (or lets them go to standard error again).
void keepWaylandLog(bool keep) {
    WaylandLog& log = waylandLog();
    std::lock_guard lock(log.mutex);
    log.keeping = keep;
    if (keep) log.kept.clear();
}

// What libwayland-client said while its lines were kept, on one line
// without its "error: " prefixes; "" when nothing.
std::string keptWaylandLog() {
    WaylandLog& log = waylandLog();
    std::lock_guard lock(log.mutex);
    std::string said;
    std::size_t at = 0;
    while (at < log.kept.size()) {
        std::size_t end = std::min(log.kept.find('\n', at), log.kept.size());
        std::string_view line(log.kept.data() + at, end - at);
        if (line.starts_with("error: ")) line.remove_prefix(7);
        if (!line.empty()) said.append(said.empty() ? "" : " ").append(line);
        at = end + 1;
    }
    return said;
}

// The descriptor of the connection to the display, which becomes readable
// when the window system has events for the window; -1 when there is none.
int displayDescriptor(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info)) return -1;
    if (info.subsystem == SDL_SYSWM_X11) {
        using Fn = int (*)(void*);
        if (auto fn = reinterpret_cast<Fn>(loadedSymbol("libX11.so.6", "XConnectionNumber")))
            return fn(info.info.x11.display);
    } else if (info.subsystem == SDL_SYSWM_WAYLAND) {
        using Fn = int (*)(void*);
        if (auto fn = reinterpret_cast<Fn>(loadedSymbol("libwayland-client.so.0", "wl_display_get_fd")))
            return fn(info.info.wl.display);
    }
    return -1;
}

// Whether SDL draws on no display (its offscreen and dummy drivers): no
// events come from outside, and there is no desktop.
bool withoutDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// Whether the video driver is one the user asked for (SDL_VIDEODRIVER).
bool driverAskedFor() {
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return asked && *asked;
}

// Why a window on no display is no window: the displays named, none
// answering, and what Wayland said when a Wayland display was named.
std::string noDisplayAnswers() {
    std::string named;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (!v || !*v) continue;
        named += (named.empty() ? " at " : " or ") + std::string(name) + "=" + v;
    }
    std::string wayland;
    if (const char* v = std::getenv("WAYLAND_DISPLAY"); v && *v) wayland = keptWaylandLog();
    const char* driver = SDL_GetCurrentVideoDriver();
    return "no display answers" + named + (wayland.empty() ? "" : " (Wayland: " + wayland + ")") +
           " (SDL could only draw with its " + (driver ? driver : "") + " driver, which nobody sees; SDL_VIDEODRIVER=" +
           (driver ? driver : "") + " asks for that)";
}

// Without a descriptor to wait on, SDL's queue is looked at this often.
constexpr double kQueueLookSeconds = 0.01;

}  // namespace

Host::Host(ui::Application& app, const Options& options) : app_(app) {
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    routeWaylandLog();
    keepWaylandLog(true);
    bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!started) {
        error_ = SDL_GetError();
    } else if (withoutDisplay() && !driverAskedFor()) {
        error_ = noDisplayAnswers();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        started = false;
    }
    keepWaylandLog(false);
    if (!started) return;
    const ui::Screen& screen = ui::Screen::mainScreen();
    const ui::Size points = screen.bounds().size;
    canvas_ = std::make_unique<render::Canvas>(points, screen.scale());

    double scale = options.scale > 0 ? options.scale : screen.scale();
    if (options.scale <= 0) {
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.h > 100 && points.height * scale > usable.h - 40) {
            scale = std::max(0.5, (usable.h - 40) / points.height);
        }
    }
    window_ = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               static_cast<int>(std::lround(points.width * scale)),
                               static_cast<int>(std::lround(points.height * scale)), SDL_WINDOW_RESIZABLE);
    if (!window_) {
        error_ = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return;
    }
    // Without a display (the offscreen and dummy drivers) there is nothing
    // to accelerate: the picture goes straight into the window's pixels.
    quietDriver_ = withoutDisplay();
    if (quietDriver_) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    } else {
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    }
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_) {
        SDL_RenderSetLogicalSize(renderer_, canvas_->pixelWidth(), canvas_->pixelHeight());
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                     canvas_->pixelWidth(), canvas_->pixelHeight());
    }
    if (!renderer_ || !texture_) {
        error_ = SDL_GetError();
        if (renderer_) SDL_DestroyRenderer(renderer_);
        SDL_DestroyWindow(window_);
        renderer_ = nullptr;
        window_ = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return;
    }
    // The main run loop sleeps on the display's connection too; the
    // offscreen and dummy drivers have no events but those pushed here.
    displayFd_ = displayDescriptor(window_);
    display_ = std::make_unique<DisplaySource>();
    ns::RunLoop::main().addSource(display_.get());
    if (displayFd_ >= 0) ns::RunLoop::main().watch(display_.get(), displayFd_, ns::RunLoop::kReadable);
    SDL_StartTextInput();
}

Host::~Host() {
    ns::RunLoop::main().cancelPreviousPerformRequests(this);
    if (!window_) return;
    ns::RunLoop::main().removeSource(display_.get());
    render::setPressedPopupButton(nullptr, -1);
    SDL_StopTextInput();
    SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// ---- The loop ----

bool Host::runOnce(double maxWait) {
    if (!isOpen() || stopped_) return false;
    // What the window system has sent (this also flushes what was drawn).
    SDL_Event e;
    bool handled = false;
    while (SDL_PollEvent(&e)) {
        handleEvent(e);
        handled = true;
    }
    double wait = dirty_ || handled ? 0 : maxWait;
    if (wait != 0 && displayFd_ < 0 && !quietDriver_) wait = wait < 0 ? kQueueLookSeconds : std::min(wait, kQueueLookSeconds);
    // Sleeps in the main run loop until the display, posted work, a timer,
    // the network or stop() wakes it.
    auto& loop = ns::RunLoop::main();
    if (loop.runOnce(wait) > 0) dirty_ = true;
    while (SDL_PollEvent(&e)) handleEvent(e);
    if (loop.takeStopRequest()) stopped_ = true;
    if (closed_ || stopped_) return false;
    if (dirty_) redraw();
    return true;
}

void Host::handleEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT: closed_ = true; break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) closed_ = true;
            dirty_ = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_LEFT) mouseDown(toScreen(e.button.x, e.button.y));
            break;
        case SDL_MOUSEMOTION:
            pointer_ = toScreen(e.motion.x, e.motion.y);
            if (e.motion.state & SDL_BUTTON_LMASK) mouseMoved(pointer_);
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT) mouseUp(toScreen(e.button.x, e.button.y));
            break;
        case SDL_MOUSEWHEEL: {
            double flip = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            wheel(e.wheel.preciseX * flip, e.wheel.preciseY * flip);
            break;
        }
        case SDL_TEXTINPUT: typeText(e.text.text); break;
        case SDL_KEYDOWN: key(e.key); break;
        default: break;
    }
}

void Host::redraw() {
    if (!isOpen()) return;
    render::drawScreen(canvas_->context());
    SDL_UpdateTexture(texture_, nullptr, canvas_->data(), canvas_->stride());
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    ++frames_;
    dirty_ = false;
    placeInputMethod();
}

SDL_Point Host::toWindow(ui::Point p) const {
    return SDL_Point{static_cast<int>(std::lround(p.x * canvas_->scale())),
                     static_cast<int>(std::lround(p.y * canvas_->scale()))};
}

ui::Point Host::toScreen(int x, int y) const {
    // Mouse events come in the canvas's pixels (the renderer's logical size).
    return ui::Point{(x + 0.5) / canvas_->scale(), (y + 0.5) / canvas_->scale()};
}

// ---- Mouse ----

void Host::mouseDown(ui::Point p) {
    pointer_ = p;
    dirty_ = true;
    auto popups = app_.visiblePopups();
    if (!popups.empty()) {
        auto top = popups.back();
        pressedPopup_ = top;
        pressedButton_ = render::popupButtonAt(*top, p);
        render::setPressedPopupButton(top.get(), pressedButton_);
        return;
    }
    releaseWheelPull();  // the finger takes over from the wheel
    if (touching_) app_.cancelTouch();
    touching_ = true;
    auto picker = pickerOf(app_.beginTouch(p));
    picker_ = picker;
    if (picker) {
        pickerStart_ = p;
        pickerColumn_ = render::pickerColumnAt(*picker, screenToView(*picker, p).x);
    }
}

void Host::mouseMoved(ui::Point p) {
    if (auto popup = pressedPopup_.lock()) {
        // The press shows only while the pointer stays on its button.
        bool on = pressedButton_ >= 0 && render::popupButtonAt(*popup, p) == pressedButton_;
        render::setPressedPopupButton(popup.get(), on ? pressedButton_ : -1);
        dirty_ = true;
        return;
    }
    if (!touching_) return;
    app_.moveTouch(p);
    dirty_ = true;
}

void Host::mouseUp(ui::Point p) {
    dirty_ = true;
    if (auto popup = pressedPopup_.lock()) {
        int index = pressedButton_;
        pressedPopup_.reset();
        pressedButton_ = -1;
        render::setPressedPopupButton(nullptr, -1);
        if (index >= 0 && render::popupButtonAt(*popup, p) == index) popup->pressButtonAtIndex(index);
        return;
    }
    pressedPopup_.reset();
    if (!touching_) return;
    touching_ = false;
    app_.endTouch(p);
    if (auto picker = picker_.lock(); picker && pickerColumn_ >= 0) {
        const double rowHeight = render::pickerRowHeight(*picker, pickerColumn_);
        const double dy = p.y - pickerStart_.y;
        int rows;
        if (std::fabs(dy) < kTapSlop) {
            rows = static_cast<int>(std::lround((screenToView(*picker, p).y - picker->bounds().midY()) /
                                                rowHeight));
        } else {
            rows = -static_cast<int>(std::lround(dy / rowHeight));
        }
        render::spinPicker(*picker, pickerColumn_, rows);
    }
    picker_.reset();
}

std::shared_ptr<ui::View> Host::viewAt(ui::Point p) const {
    auto windows = app_.windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        ui::Rect f = (*it)->frame(), b = (*it)->bounds();
        if (auto hit = (*it)->hitTest(ui::Point{p.x - f.origin.x + b.origin.x, p.y - f.origin.y + b.origin.y}, nullptr)) {
            return hit;
        }
    }
    return nullptr;
}

void Host::wheel(double dx, double dy) {
    if (!app_.visiblePopups().empty() || touching_) return;
    // A pull under way goes on while the wheel turns on down; turned up, the
    // wheel releases it (it springs back to the end) and scrolls as it does
    // anywhere else, so it never drags the list past its top.
    if (auto pulled = wheelPull_.lock(); pulled && pulled->isDragging()) {
        if (dy <= 0) {
            pulled->dragBy(ui::Point{0, dy * kWheelStep});
            dirty_ = true;
            holdWheelPull();
            return;
        }
        releaseWheelPull();
    }
    std::shared_ptr<ui::View> hit = viewAt(pointer_);
    if (auto picker = pickerOf(hit)) {
        int column = render::pickerColumnAt(*picker, screenToView(*picker, pointer_).x);
        int rows = -static_cast<int>(std::lround(dy));
        if (rows == 0 && dy != 0) rows = dy > 0 ? -1 : 1;
        if (render::spinPicker(*picker, column, rows)) dirty_ = true;
        return;
    }
    // The innermost scroll view that can still move that way takes it.
    std::shared_ptr<ui::ScrollView> atEnd;  // the innermost one at the end of its content, when turned down
    for (auto v = hit; v; v = v->superview()) {
        auto sv = std::dynamic_pointer_cast<ui::ScrollView>(v);
        if (!sv || !sv->isScrollEnabled()) continue;
        ui::Point o = sv->contentOffset(), lo = sv->minimumContentOffset(), hi = sv->maximumContentOffset();
        ui::Point n{std::clamp(o.x - dx * kWheelStep, lo.x, std::max(lo.x, hi.x)),
                    std::clamp(o.y - dy * kWheelStep, lo.y, std::max(lo.y, hi.y))};
        if (n == o) {
            if (!atEnd && dy < 0 && o.y >= hi.y && sv->canScrollVertically()) atEnd = sv;
            continue;
        }
        sv->setContentOffset(n);
        dirty_ = true;
        return;
    }
    // Nothing left to scroll that way: the wheel pulls the list up past its
    // end, as a finger dragging it would.
    if (!atEnd) return;
    atEnd->beginDragging();
    if (!atEnd->isDragging()) return;
    atEnd->dragBy(ui::Point{0, dy * kWheelStep});
    wheelPull_ = atEnd;
    dirty_ = true;
    holdWheelPull();
}

void Host::holdWheelPull() {
    auto& loop = ns::RunLoop::main();
    loop.cancelPreviousPerformRequests(this, kWheelRelease);
    loop.performAfterDelay(this, kWheelReleaseSeconds, [this] { releaseWheelPull(); }, kWheelRelease);
}

void Host::releaseWheelPull() {
    ns::RunLoop::main().cancelPreviousPerformRequests(this, kWheelRelease);
    auto pulled = wheelPull_.lock();
    wheelPull_.reset();
    if (!pulled || !pulled->isDragging()) return;
    pulled->endDragging();
    dirty_ = true;
}

// ---- Keyboard ----

void Host::typeText(const std::string& text) {
    auto input = std::dynamic_pointer_cast<ui::KeyInput>(ui::Responder::firstResponder());
    if (!input || text.empty()) return;
    input->insertText(text);
    dirty_ = true;
}

void Host::key(const SDL_KeyboardEvent& e) {
    auto input = std::dynamic_pointer_cast<ui::KeyInput>(ui::Responder::firstResponder());
    if (!input) return;
    switch (e.keysym.sym) {
        case SDLK_BACKSPACE: input->deleteBackward(); break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: input->insertText("\n"); break;
        case SDLK_v:
            if (!(e.keysym.mod & KMOD_CTRL)) return;
            if (char* clip = SDL_GetClipboardText()) {
                if (*clip) input->insertText(clip);
                SDL_free(clip);
            }
            break;
        default: return;
    }
    dirty_ = true;
}

// The input method shows its candidates next to the field being edited.
void Host::placeInputMethod() {
    auto view = std::dynamic_pointer_cast<ui::View>(ui::Responder::firstResponder());
    if (!view || !view->window()) return;
    auto w = view->window();
    ui::Rect r = view->convertRect_toView(view->bounds(), nullptr)
                     .offsetBy(w->frame().origin.x - w->bounds().origin.x, w->frame().origin.y - w->bounds().origin.y);
    int x0, y0, x1, y1;
    SDL_RenderLogicalToWindow(renderer_, static_cast<float>(r.minX() * canvas_->scale()),
                              static_cast<float>(r.minY() * canvas_->scale()), &x0, &y0);
    SDL_RenderLogicalToWindow(renderer_, static_cast<float>(r.maxX() * canvas_->scale()),
                              static_cast<float>(r.maxY() * canvas_->scale()), &x1, &y1);
    SDL_Rect rect{x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0)};
    SDL_SetTextInputRect(&rect);
}

// ---- Entry points ----

int runWindowed(ui::Application& app, const std::function<void()>& opened, std::string* error,
                const Options& options) {
    int status = 0;
    {
        Host host(app, options);
        if (host.isOpen()) {
            if (opened) opened();
            // Web pages the program leaves for (the App Store's) open in the desktop's
            // browser; a window on no desktop (SDL's offscreen and dummy drivers) has none.
            const char* path = std::getenv("PATH");
            if (auto opener = withoutDisplay() ? nullptr : desktopURLOpener(path ? path : ""))
                app.setWebURLOpener(opener);
            while (host.runOnce()) {
            }
            app.setWebURLOpener(nullptr);
        } else if (error) {
            *error = host.error();
            status = 1;
        } else {
            ns::NSLog("window: %@", host.error());
            status = 1;
        }
    }
    SDL_Quit();  // what SDL set up on the way (its D-Bus connection) goes with the window
    return status;
}

std::function<bool(const std::string&)> desktopURLOpener(const std::string& searchPath) {
    std::string program;
    for (std::size_t start = 0; start <= searchPath.size();) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) end = searchPath.size();
        std::string folder = searchPath.substr(start, end - start);
        start = end + 1;
        if (folder.empty()) continue;  // never the current folder
        std::string candidate = folder + "/xdg-open";
        if (::access(candidate.c_str(), X_OK) == 0) {
            program = candidate;
            break;
        }
    }
    if (program.empty()) return nullptr;
    return [program](const std::string& url) {
        ns::NSLog("openURL: %@ goes to xdg-open", url);
        std::vector<char*> args{const_cast<char*>(program.c_str()), const_cast<char*>(url.c_str()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        pid_t pid = 0;
        int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) return false;
        // The browser outlives the opener, which ends at once: it is reaped
        // aside so that it leaves no zombie behind.
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return true;
    };
}

bool displayAvailable() {
    for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

}  // namespace window
