#pragma once

#include "input/input_event.h"

// Platform seam: posts one event into the user's session. An event the
// platform cannot create is dropped, never posted half-made.
void post_event(const InputEvent& event);

// Returns once the platform has taken every event posted so far, so that
// none is lost when the process ends right after.
void settle_posted_events();
