#pragma once

#include "input/input_event.h"

// Input on a wlroots compositor through a virtual pointer and a virtual
// keyboard, as the Wayland backend offers it.
namespace wayland {

void post_event(const InputEvent& event);
void settle_posted_events();
// Wayland has no permission to grant: input can be posted when the
// compositor offers virtual pointers and keyboards.
bool input_permitted();

}  // namespace wayland
