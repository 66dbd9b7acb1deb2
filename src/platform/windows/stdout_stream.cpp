#include "platform/stdout_stream.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "platform/windows/stop_request.h"

void prepare_stdout() {
    // Text mode would turn every 0x0A byte of a frame into 0D 0A.
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IONBF, 0);
}

void stdout_write_failed() {
    // Windows has no signal for it: a reader that has gone stops us as
    // SIGPIPE does elsewhere.
    if (errno == EPIPE) request_stop(kStopByBrokenPipe);
}
