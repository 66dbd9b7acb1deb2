#pragma once

#include <chrono>

// The frame writer: the only writer of stdout. Once the first frame is in the
// store, every tick sends the stream header (the first time) and then the
// latest frame, whole.

// Starts the writer's timer at FRAME_INTERVAL_NS. Returns false if it could
// not be started.
bool start_frame_writer();

// One tick of the writer. Exposed for tests; the timer calls it.
void frame_writer_tick();

// Ends the stream: waits, until `by` at the latest, for the frame being
// written (if any) to be out whole; no tick writes anything afterwards.
// False when that frame was still being written at `by`.
bool finish_frame_writer(std::chrono::steady_clock::time_point by);
