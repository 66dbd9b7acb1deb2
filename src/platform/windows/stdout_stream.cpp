#include "platform/stdout_stream.h"

#include <cerrno>
#include <cstdio>

#include "platform/windows/stop_request.h"

// Binary since before main (binary_streams.cpp); an anonymous pipe's buffer
// is fixed when it is made, by the parent.
void prepare_stdout() {
    setvbuf(stdout, nullptr, _IONBF, 0);
}

void stdout_write_failed() {
    // Windows has no signal for it: a reader that has gone stops us as
    // SIGPIPE does elsewhere.
    if (errno == EPIPE) request_stop(kStopByBrokenPipe);
}
