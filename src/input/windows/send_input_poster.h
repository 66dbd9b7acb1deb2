#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "input/input_action.h"
#include "platform/display_choice.h"

// Posts the core's input actions on Windows with SendInput: absolute moves on
// the virtual desktop, buttons, the wheel, keys as virtual keys with their
// scan codes, characters as UTF-16 units. Windows keeps the key state
// itself, as an X server does: the modifier keys the core pressed are down,
// so the held modifiers need no flag on each event.
class SendInputPoster {
public:
    // `origin` says where the captured monitor is on the virtual desktop.
    explicit SendInputPoster(std::function<ScreenOrigin()> origin) : origin_(std::move(origin)) {}

    void post(const InputActions& actions);
    // SendInput has handed the events to the system's input queue once it returns.
    void settle() {}
    // Whether input can be posted to the desktop that receives it now.
    static bool permitted(std::string* why);

private:
    void post_one(const InputAction& action);
    // SendInput, following the input desktop once when it has moved.
    void send(INPUT* inputs, UINT count);

    std::function<ScreenOrigin()> origin_;
    bool desktopChangeLogged_ = false;
    bool failing_ = false;  // the last event was refused
};
