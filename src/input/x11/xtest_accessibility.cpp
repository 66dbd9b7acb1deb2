#include "input/accessibility.h"
#include "input/x11/xtest_connection.h"

// On X there is no permission to grant: input can be posted when the server
// offers the XTEST extension. Nothing to prompt for either.
bool accessibility_trusted() {
    const XInputConnection* x = x_input_connection();
    return x && x->xtest;
}

bool accessibility_trusted_with_prompt() { return accessibility_trusted(); }
