# The remote-desktop input backend: the session's Notify* calls.
set(INPUT_REMOTE_DESKTOP_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/remote_desktop_input.cpp
)
