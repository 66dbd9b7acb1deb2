# The PipeWire capture backend: a screen-cast stream in shared memory.
set(CAPTURE_PIPEWIRE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/pipewire_capture.cpp
)
