#pragma once

#include "input/input_event.h"

// macOS input, as the macOS backend offers it.
namespace macos {

// Posts one Quartz event at the session event tap; one the platform cannot
// create is dropped. The window server has it when this returns.
void post_quartz_event(const InputEvent& event);

// Accessibility trust, as the system's privacy settings grant it to the
// responsible process; with `prompt`, the system may ask the user for it.
bool accessibility_trusted(bool prompt);

}  // namespace macos
