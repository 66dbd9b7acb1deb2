#pragma once

#include <string>

// The desktop that gets the user's input changes under us: the lock screen,
// a UAC prompt and a user switch each show another one. Screen reads and
// posted input of a thread still on the old one fail until the thread
// follows; capture and input both do.

// Opens the desktop that receives input now and makes it the calling thread's.
// False, with the system's words in `why`, when it cannot be opened (the
// secure desktop, for one, is closed to us) or the thread cannot switch.
bool follow_input_desktop(std::string* why);

// Whether the input desktop can be opened for posting input at all.
bool input_desktop_reachable(std::string* why);

// The system's wording of a Win32 error code.
std::string windows_error_text(unsigned long error);
