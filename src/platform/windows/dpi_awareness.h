#pragma once

// Makes the process per-monitor DPI aware (v2), so that every size and
// position it asks for or sends is in physical pixels: the frames then have
// the screen's real resolution and a move names the pixel the frame shows.
// Must come before the first call that touches a window or the screen.
void become_dpi_aware();
