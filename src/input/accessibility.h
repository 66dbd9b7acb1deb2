#pragma once

// Platform seam: may this process post input events into the user's session?

// Asks, and lets the system prompt the user for the permission if it is
// missing. Returns the current answer at once.
bool accessibility_trusted_with_prompt();

// Asks without prompting.
bool accessibility_trusted();
