// The frame timer as a dispatch timer source on a private serial queue:
// ticks never overlap, and the source keeps to its own schedule.

#import <Foundation/Foundation.h>

#include <cstdio>

#include "capture/frame_timer.h"

namespace {

// Live until the process ends; never cancelled.
dispatch_queue_t g_timerQueue;
dispatch_source_t g_timer;

}  // namespace

bool start_frame_timer(uint64_t interval_ns, uint64_t leeway_ns, void (*tick)()) {
    g_timerQueue = dispatch_queue_create("org.screenshare-helper.framewriter", DISPATCH_QUEUE_SERIAL);
    g_timer = g_timerQueue ? dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, g_timerQueue) : nil;
    if (!g_timer) {
        fputs("[capture] ERROR: could not create the frame writer's timer\n", stderr);
        return false;
    }
    dispatch_source_set_timer(g_timer, dispatch_time(DISPATCH_TIME_NOW, 0), interval_ns, leeway_ns);
    dispatch_source_set_event_handler(g_timer, ^{
      tick();
    });
    dispatch_resume(g_timer);
    return true;
}
