#pragma once

// stdout carries the frame stream and nothing else.

// Unbuffered, binary, and with a large pipe buffer where the platform has
// one: a frame is megabytes, and a small buffer makes every frame cost a
// hundred wake-ups of writer and reader.
void prepare_stdout();

// A write to stdout failed. When the reader has gone and that stops the
// process, it ends as by a broken pipe, through the thread that waits for
// stop requests (which lets go of held input first); otherwise (started
// with SIGPIPE ignored, or another error) nothing happens and the ticks go on.
void stdout_write_failed();
