#pragma once

#include <cstdint>
#include <optional>

struct CommandLine {
    bool checkAccessibility = false;
    // A frame rate from 1 to 120, when the first argument gave one.
    std::optional<uint32_t> fps;
};

// Only the first argument counts: exactly "--check-accessibility", or a frame
// rate read the way atoi reads it ("30fps" is 30). Out-of-range rates,
// including digit strings beyond 32 bits, are ignored.
CommandLine parse_command_line(int argc, const char* const* argv);
