#pragma once

#include "input/input_action.h"

// Where the core's input goes: a backend's poster. An event the platform
// cannot create is dropped, never posted half-made.
class EventPoster {
public:
    virtual ~EventPoster() = default;
    virtual void post(const PostedInput& input) = 0;
    // Returns once the platform has taken every event posted so far, so that
    // none is lost when the process ends right after.
    virtual void settle() = 0;
    // May input be posted into the session? With `prompt`, the system may
    // ask the user for the permission; the answer comes at once either way.
    // The control loop asks (without prompting) before it starts.
    virtual bool input_permitted(bool prompt) = 0;
};

// Set once by main, before the control thread starts.
void set_event_poster(EventPoster* poster);
