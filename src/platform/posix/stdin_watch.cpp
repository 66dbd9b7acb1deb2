#include "platform/stdin_watch.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

// Asks for readable data, since XNU's poll reports nothing, not even a
// hang-up, for a descriptor polled with no events; readable with nothing to
// read is end of file.
bool stdin_hung_up(int timeoutMs) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return false;
    if (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
    int pending = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &pending) == 0 && pending == 0) return true;
    // Input that is waiting for the control loop would wake poll at once.
    usleep(timeoutMs * 1000);
    return false;
}
