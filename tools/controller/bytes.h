#pragma once

#include <cstdint>
#include <vector>

namespace controller {

// Bytes on their way to the helper or from it.
using Bytes = std::vector<uint8_t>;

}  // namespace controller
