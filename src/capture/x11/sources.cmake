# The X11 capture backend: XCB with MIT-SHM (GetImage when that fails),
# RandR for the display list, XFixes for the pointer, DAMAGE for what changed.
set(CAPTURE_X11_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/shm_segment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_displays.cpp
)
