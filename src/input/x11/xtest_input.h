#pragma once

#include "input/input_event.h"

// Input on an X server through XTEST, as the X11 backend offers it.
namespace x11 {

void post_event(const InputEvent& event);
void settle_posted_events();
// X has no permission to grant: input can be posted when XTEST is there.
bool input_permitted();

}  // namespace x11
