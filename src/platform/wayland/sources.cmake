# The Wayland session that capture and input each open, and its event pump.
set(PLATFORM_WAYLAND_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/wayland_session.cpp
)
