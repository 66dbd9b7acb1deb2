#include "input/accessibility.h"

// Placeholder until the XTest poster lands: nothing can be posted yet.
bool accessibility_trusted_with_prompt() { return false; }
bool accessibility_trusted() { return false; }
