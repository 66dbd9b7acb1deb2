#include "fake_config.h"

#include <cstdlib>

long fake_env_long(const char* name, long fallback) {
    const char* value = getenv(name);
    return value && *value ? strtol(value, nullptr, 10) : fallback;
}

std::string fake_env_string(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}
