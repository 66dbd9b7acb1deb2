# The Wayland input backend: a virtual pointer and a virtual keyboard.
set(INPUT_WAYLAND_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/virtual_devices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual_input.cpp
)
