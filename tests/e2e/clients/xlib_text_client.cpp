// A plain Xlib client as most old X programs are: a focused window, an input
// context of Xlib's own input method, and Xutf8LookupString on each key press,
// with no MappingNotify handling of its own (Xlib keeps its keymap itself).
// Prints what each press gave, as UTF-8; a press that gave no symbol prints
// U+FFFD. Prints "ready" on stderr once focused, and ends at Return.
// With PRESS, falls behind as a busy client does: it stops for 100 ms
// before it looks up that press (counted from 0), once.
// Usage: xlib_text_client [PRESS]

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    const long pauseAt = argc > 1 ? atol(argv[1]) : -1;
    setlocale(LC_ALL, "C.UTF-8");
    XSetLocaleModifiers("");
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return 1;
    const int screen = DefaultScreen(dpy);
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.event_mask = KeyPressMask | KeyReleaseMask | FocusChangeMask;
    const Window w = XCreateWindow(dpy, RootWindow(dpy, screen), 0, 0, 200, 100, 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWOverrideRedirect | CWEventMask, &attrs);
    XMapRaised(dpy, w);
    XIM im = XOpenIM(dpy, nullptr, nullptr, nullptr);
    XIC ic = im ? XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, w, XNFocusWindow,
                            w, nullptr)
                : nullptr;
    if (!ic) return 1;
    XSetICFocus(ic);
    XSync(dpy, False);
    XSetInputFocus(dpy, w, RevertToPointerRoot, CurrentTime);
    XSync(dpy, False);
    fputs("ready\n", stderr);
    for (long press = 0;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == KeyPress && press++ == pauseAt) {
            const timespec behind{0, 100'000'000};
            nanosleep(&behind, nullptr);
        }
        if (XFilterEvent(&e, None) || e.type != KeyPress) continue;
        char text[64];
        KeySym keysym = NoSymbol;
        Status status = 0;
        const int n = Xutf8LookupString(ic, &e.xkey, text, sizeof text, &keysym, &status);
        if (keysym == XK_Return) break;
        if (status == XLookupChars || status == XLookupBoth) {
            fwrite(text, 1, size_t(n), stdout);
        } else if (keysym == NoSymbol) {
            fputs("\xEF\xBF\xBD", stdout);
        }
        fflush(stdout);
    }
    XCloseDisplay(dpy);
    return 0;
}
