// Nothing runs on the main thread on this platform: it parks for good.

#include <unistd.h>

#include "app/main_loop.h"

void run_main_loop() {
    for (;;) pause();
}
