#pragma once

#include <SDL.h>

// Another X client may destroy the viewer's window outright (xdotool
// windowclose, xkill) instead of asking it to close through the window
// manager. SDL has no event for that, and every later request on the window
// fails with an X error, on which Xlib's default handler ends the process.
// This notices the window's end, and takes errors about it for what they are.
class WindowLoss {
public:
    // Before SDL starts: SDL hands on the errors it does not handle to the
    // handler it found, and puts that one back when it quits, while requests
    // on the lost window may still be unanswered.
    WindowLoss();
    ~WindowLoss();  // after SDL has quit
    WindowLoss(const WindowLoss&) = delete;
    WindowLoss& operator=(const WindowLoss&) = delete;

    // Watches `window`; nothing where it is no X11 window.
    void watch(SDL_Window* window);
    // Whether `e` says the watched window was destroyed.
    bool is_loss(const SDL_Event& e) const;
};
