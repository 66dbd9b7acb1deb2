#include "platform/stdout_stream.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

void prepare_stdout() {
    setvbuf(stdout, nullptr, _IONBF, 0);
#ifdef F_SETPIPE_SZ
    // Best effort: the limit may be lower.
    struct stat st{};
    if (fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
#endif
}

// The SIGPIPE the write raised stays pending in the writing thread, where it
// is blocked; raising it for the process hands it to the thread that waits
// for stop requests. A process started with SIGPIPE ignored drops it.
void stdout_write_failed() {
    if (errno == EPIPE) kill(getpid(), SIGPIPE);
}
