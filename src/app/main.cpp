// screenshare-helper: streams the main display to stdout and turns control
// messages on stdin into mouse and keyboard input.

#include <pthread.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/accessibility_report.h"
#include "app/backend.h"
#include "app/command_line.h"
#include "app/control_thread.h"
#include "app/main_loop.h"
#include "app/shutdown_monitor.h"
#include "app/signal_stop.h"
#include "capture/capture_stream.h"
#include "capture/frame_writer.h"
#include "capture/settings.h"
#include "input/event_poster.h"
#include "input/input_handlers.h"
#include "platform/failure_exit.h"
#include "platform/stderr_relay.h"
#include "platform/stdout_stream.h"
#include "platform/stop_requests.h"

namespace {

// Handed to the shutdown monitor, which joins it; lives for the whole run.
pthread_t g_controlThread;

bool start_thread(pthread_t* thread, void* (*body)(void*), void* arg, const char* what) {
    const int rc = pthread_create(thread, nullptr, body, arg);
    if (rc != 0) fprintf(stderr, "[ctrl] ERROR: could not start the %s: %s\n", what, strerror(rc));
    return rc == 0;
}

}  // namespace

CaptureStream* g_stream = nullptr;

int main(int argc, char** argv) {
    const CommandLine cli = parse_command_line(argc, argv);
    if (cli.checkAccessibility) return run_accessibility_query(*make_backend());
    if (cli.fps) set_target_fps(*cli.fps);

    prepare_stdout();
    set_held_input_release(release_held_input);
    hold_stop_requests();
    start_stderr_relay();

    // Lives until the process ends, as its threads do.
    static const std::unique_ptr<Backend> made = make_backend();
    Backend& backend = *made;
    if (!backend.start()) return 1;
    report_accessibility_at_startup(backend);
    g_stream = &backend;
    set_event_poster(&backend);

    if (!start_frame_writer()) return 1;
    if (!start_thread(&g_controlThread, control_thread, nullptr, "control thread")) return 1;
    pthread_t monitor;
    if (!start_thread(&monitor, shutdown_monitor_thread, &g_controlThread, "shutdown monitor")) {
        return 1;
    }
    pthread_detach(monitor);
    pthread_t signals;
    if (!start_thread(&signals, signal_stop_thread, nullptr, "signal thread")) return 1;
    pthread_detach(signals);

    run_main_loop();
    return 0;
}
