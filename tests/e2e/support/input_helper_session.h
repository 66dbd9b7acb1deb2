#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/input_x_client.h"
#include "support/xvfb.h"

// The real helper on a private X server, with a test client beside it.
struct InputHelperSession {
    explicit InputHelperSession(const std::string& screen = "640x480x24");

    // Starts the helper; true once its control loop reads stdin.
    bool start();
    void send(const std::vector<uint8_t>& bytes);

    Xvfb server;
    InputXClient client;
    std::unique_ptr<ChildProcess> helper;
};
