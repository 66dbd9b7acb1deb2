// The main thread serves the main run loop. On the main thread that loop
// always has the main dispatch queue to serve, so run does not return.

#import <Foundation/Foundation.h>

#include "app/main_loop.h"

void run_main_loop() { [[NSRunLoop mainRunLoop] run]; }
