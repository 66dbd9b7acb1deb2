// Nothing runs on the main thread on Windows: it parks for good.

#include <windows.h>

#include "app/main_loop.h"

void run_main_loop() {
    for (;;) Sleep(INFINITE);
}
