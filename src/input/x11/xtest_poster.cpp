#include "input/event_poster.h"

// Placeholder until the XTest poster lands.
void post_event(const InputEvent&) {}
