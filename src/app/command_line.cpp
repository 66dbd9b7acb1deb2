#include "app/command_line.h"

#include <cctype>
#include <cstring>

#include "capture/settings.h"

namespace {

// atoi's reading (leading space, sign, digits up to the first other
// character, no digits gives 0), without its undefined overflow: anything
// beyond the 32-bit range is reported as such.
std::optional<int64_t> atoi_value(const char* s) {
    while (isspace(static_cast<unsigned char>(*s))) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = (*s++ == '-');
    int64_t value = 0;
    for (; isdigit(static_cast<unsigned char>(*s)); ++s) {
        value = value * 10 + (*s - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX) return std::nullopt;
    return value;
}

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) {
    CommandLine result;
    if (argc < 2 || argv[1] == nullptr) return result;
    if (strcmp(argv[1], "--check-accessibility") == 0) {
        result.checkAccessibility = true;
        return result;
    }
    const auto value = atoi_value(argv[1]);
    if (value && *value >= 1 && *value <= kMaxFps) result.fps = static_cast<uint32_t>(*value);
    return result;
}
