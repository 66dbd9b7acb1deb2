#pragma once

#include <functional>

#include "platform/display_choice.h"

// The screen capture of Windows through GDI: the primary monitor read with
// BitBlt on every tick, only the rows that changed stored, and the pointer
// drawn in. Works on every Windows and under Wine.
class GdiCapture {
public:
    GdiCapture();
    ~GdiCapture();
    GdiCapture(const GdiCapture&) = delete;
    GdiCapture& operator=(const GdiCapture&) = delete;

    // Chooses the primary monitor, reads its first picture and starts the
    // capture thread. False once its "[capture] ..." failure lines are written.
    bool start();
    // Asks the capture thread to stop; `done` runs once it has.
    void stop(std::function<void(const char* error)> done);
    // Where the captured monitor's top-left pixel is on the virtual desktop.
    ScreenOrigin origin() const;

    struct State;

private:
    State* s_;
};
