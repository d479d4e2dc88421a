// Mouse, wheel and keyboard input for the desktop window, synthesised through
// SDL's own event queue; the window's loop runs one pass after each event.
// The fixture sets `host` once the window is open.
//
//   class MyTest : public testing::Test, protected testsupport::WindowInput { ... };
//   useTestVideoDriver();                 // before the window opens
//   click(Point{160, 222}); drag(Point{160, 400}, Point{0, -150}); text("党"); key(SDLK_RETURN);
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "uikit/Geometry.h"
#include "window/Host.h"

namespace testsupport {

class WindowInput {
protected:
    // SDL's offscreen video driver; KL_WINDOW_TEST_DRIVER=x11 runs the same on a display (Xvfb).
    static void useTestVideoDriver() {
        const char* driver = std::getenv("KL_WINDOW_TEST_DRIVER");
        setenv("SDL_VIDEODRIVER", driver && *driver ? driver : "offscreen", 1);
    }

    Uint32 windowID() const { return SDL_GetWindowID(host->sdlWindow()); }
    void push(SDL_Event e) {
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        host->runOnce(0);
    }
    void button(Uint32 type, ui::Point p) {
        SDL_Point w = host->toWindow(p);
        SDL_Event e{};
        e.type = type;
        e.button.windowID = windowID();
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = w.x;
        e.button.y = w.y;
        push(e);
    }
    void motion(ui::Point p, bool pressed = true) {
        SDL_Point w = host->toWindow(p);
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = windowID();
        e.motion.state = pressed ? SDL_BUTTON_LMASK : 0;
        e.motion.x = w.x;
        e.motion.y = w.y;
        push(e);
    }
    void click(ui::Point p) {
        button(SDL_MOUSEBUTTONDOWN, p);
        button(SDL_MOUSEBUTTONUP, p);
    }
    // Press, move in steps, release.
    void drag(ui::Point from, ui::Point by, int steps = 5) {
        button(SDL_MOUSEBUTTONDOWN, from);
        for (int i = 1; i <= steps; ++i) motion(ui::Point{from.x + by.x * i / steps, from.y + by.y * i / steps});
        button(SDL_MOUSEBUTTONUP, ui::Point{from.x + by.x, from.y + by.y});
    }
    // Notches of the wheel where the pointer is (positive: up).
    void wheel(float notches) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = windowID();
        e.wheel.y = static_cast<Sint32>(notches);
        e.wheel.preciseY = notches;
        push(e);
    }
    void text(const char* s) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = windowID();
        std::strncpy(e.text.text, s, sizeof e.text.text - 1);
        push(e);
    }
    void key(SDL_Keycode k, Uint16 mod = KMOD_NONE) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = windowID();
        e.key.state = SDL_PRESSED;
        e.key.keysym.sym = k;
        e.key.keysym.mod = mod;
        push(e);
    }

    std::unique_ptr<window::Host> host;
};

}  // namespace testsupport
