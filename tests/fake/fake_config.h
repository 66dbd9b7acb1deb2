#pragma once

// The test-only executable is steered by environment variables, read once.
//   FAKE_CAPTURE_SIZE     "WxH" of the synthetic display (default 64x48)
//   FAKE_CAPTURE_PADDING  extra bytes at the end of every source row (default 0)
//   FAKE_CAPTURE_FRAMES   distinct pictures to deliver, then the screen is
//                         still; 0 delivers none (default: no limit)
//   FAKE_CAPTURE_DELAY_MS wait before the first picture (default 0)
//   FAKE_CAPTURE_SOURCES  capture threads delivering at once (default 1)
//   FAKE_CAPTURE_FAIL     "no-display" or "start": fail set-up with those lines
//   FAKE_STOP             "error" or "hang": how a stop request ends
//   FAKE_ACCESSIBILITY    "0" for an untrusted process (default trusted)
//   FAKE_EVENT_LOG        file that receives one line per posted event

#include <cstdint>
#include <string>

long fake_env_long(const char* name, long fallback);
std::string fake_env_string(const char* name);
