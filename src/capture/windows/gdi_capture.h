#pragma once

#include <string>

#include "capture/capture_loop.h"
#include "platform/display_choice.h"

// The screen capture of Windows through GDI: the primary monitor read with
// BitBlt on every tick of the capture loop, only the rows that changed
// stored, and the pointer drawn in. Works on every Windows and under Wine.
class GdiCapture final : public PictureSource {
public:
    GdiCapture();
    ~GdiCapture() override;
    GdiCapture(const GdiCapture&) = delete;
    GdiCapture& operator=(const GdiCapture&) = delete;

    // Chooses the primary monitor and makes what it is read into. False once
    // its "[capture] ..." failure lines are written.
    bool open();
    // Where the captured monitor's top-left pixel is on the virtual desktop.
    ScreenOrigin origin() const;

    bool take_first_picture(std::string* why) override;
    GrabResult grab() override;
    // GDI loses no display: a screen it cannot read skips the tick.
    const char* lost_lines() const override { return nullptr; }

    struct State;

private:
    State* s_;
};
