# The Linux backend table and the seams that dispatch to the chosen backend.
set(APP_LINUX_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/backend_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/remote_desktop_backend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_backend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_backend.cpp
)
