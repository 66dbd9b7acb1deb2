#include "viewer/window_loss.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>

namespace {

// Xlib's error handler is one for the process, and so is the viewer's window.
std::atomic<unsigned long> g_window{0};
XErrorHandler g_previous = nullptr;

// A request on the window that is gone fails; any other error is as fatal as before.
int on_x_error(Display* display, XErrorEvent* error) {
    if (error->resourceid != 0 && error->resourceid == g_window.load()) return 0;
    return g_previous ? g_previous(display, error) : 0;
}

}  // namespace

WindowLoss::WindowLoss() { g_previous = XSetErrorHandler(on_x_error); }

WindowLoss::~WindowLoss() { XSetErrorHandler(g_previous), g_window = 0; }

void WindowLoss::watch(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    g_window = info.info.x11.window;
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);  // its DestroyNotify comes only as one of these
}

bool WindowLoss::is_loss(const SDL_Event& e) const {
    if (e.type != SDL_SYSWMEVENT || e.syswm.msg->subsystem != SDL_SYSWM_X11) return false;
    const XEvent& x = e.syswm.msg->msg.x11.event;
    return x.type == DestroyNotify && x.xdestroywindow.window == g_window.load();
}
