#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/child_process.h"

// Starts the test-only executable with the given arguments and fake settings.
inline ChildProcess::Options fake_helper(std::vector<std::string> args = {},
                                         std::map<std::string, std::string> env = {}) {
    args.insert(args.begin(), FAKE_HELPER_PATH);
    return ChildProcess::Options{args, env};
}
