// Placeholder until the virtual pointer and keyboard land.
#include "input/wayland/wayland_input.h"

namespace wayland {

void post_event(const InputEvent&) {}
void settle_posted_events() {}
bool input_permitted() { return false; }

}  // namespace wayland
