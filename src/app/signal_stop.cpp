#include "app/signal_stop.h"

#include "input/input_handlers.h"
#include "platform/stop_requests.h"

void* signal_stop_thread(void*) {
    const int request = wait_for_stop_request();
    release_held_input();
    end_by_stop_request(request);
}
