#include "input/x11/xtest_connection.h"
#include "input/x11/xtest_input.h"

namespace x11 {

// On X there is no permission to grant: input can be posted when the server
// offers the XTEST extension. Nothing to prompt for either.
bool input_permitted() {
    const XInputConnection* x = x_input_connection();
    return x && x->xtest;
}

}  // namespace x11
