// Windows's C runtime opens stdin, stdout and stderr in text mode, which
// turns each 0x0A byte written into 0D 0A and drops 0x0D and 0x1A from what
// is read: frames, control messages and log lines would all change on the
// way. All three are made binary before main runs, in every mode, and the
// log unbuffered: the C runtime buffers a stderr that is a file or a pipe.

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <initializer_list>

namespace {

const bool g_binaryStreams = [] {
    for (int fd : {0, 1, 2}) _setmode(fd, _O_BINARY);
    setvbuf(stderr, nullptr, _IONBF, 0);
    return true;
}();

}  // namespace
