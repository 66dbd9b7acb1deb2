#pragma once

#include "support/child.h"

using controller::button, controller::key, controller::move_to, controller::scroll, controller::text;

// The real helper, at `fps`.
inline std::vector<std::string> helper_args(const std::string& fps = "30") { return {HELPER_PATH, fps}; }
