#include "support/input_helper_session.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

InputHelperSession::InputHelperSession(const std::string& screen) : server(screen), client(server.display()) {}

bool InputHelperSession::start() {
    helper = std::make_unique<ChildProcess>(
        ChildProcess::Options{{HELPER_PATH, "30"}, {{"DISPLAY", server.display()}}});
    return helper->wait_for_stderr("[ctrl] control loop started, reading stdin...\n", 10s);
}

void InputHelperSession::send(const std::vector<uint8_t>& bytes) { ASSERT_TRUE(helper->write_stdin(bytes)); }
