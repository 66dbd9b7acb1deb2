#include "fake_config.h"
#include "input/accessibility.h"

bool accessibility_trusted_with_prompt() { return fake_env_string("FAKE_ACCESSIBILITY") != "0"; }
bool accessibility_trusted() { return accessibility_trusted_with_prompt(); }
