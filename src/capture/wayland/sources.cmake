# The Wayland capture backend: wlroots screen copy into shared-memory buffers.
set(CAPTURE_WAYLAND_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/shm_buffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_capture.cpp
)
