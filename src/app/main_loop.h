#pragma once

// Platform seam: what the main thread does once start-up is done. In normal
// operation it never returns; the process ends from the shutdown monitor, a
// broken pipe or a fatal error.
void run_main_loop();
