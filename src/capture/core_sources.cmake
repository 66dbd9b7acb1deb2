# Portable capture sources beyond the frame store and stream. The cursor
# compositing lives with the X11 backend but is a pure function on a frame,
# kept in the core so that the unit tests reach it.
set(CAPTURE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/capture_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_region.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_formats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11/cursor_composite.cpp
)
