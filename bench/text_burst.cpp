// Writes a burst of typing to stdout, for a benchmark to hand to the helper at
// once: a press and a release text message for each of COUNT code points from
// FIRST on. Usage: text_burst FIRST COUNT

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "controller/messages.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s FIRST COUNT\n", argv[0]);
        return 2;
    }
    const uint32_t first = uint32_t(strtoul(argv[1], nullptr, 0)), count = uint32_t(strtoul(argv[2], nullptr, 0));
    controller::Bytes burst;
    for (uint32_t cp = first; cp < first + count; ++cp) {
        controller::append(burst, controller::text(cp, controller::kPress));
        controller::append(burst, controller::text(cp, controller::kRelease));
    }
    return write(STDOUT_FILENO, burst.data(), burst.size()) == ssize_t(burst.size()) ? 0 : 1;
}
