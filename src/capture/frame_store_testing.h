#pragma once

// Empties the frame store so that each unit test starts from a fresh process
// state. Never called by the program itself.
void reset_frame_store_for_tests();
