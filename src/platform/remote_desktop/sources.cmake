# The remote-desktop session on the session bus (mutter's own interfaces or
# the desktop portal) that the PipeWire capture and the Notify* input share.
set(PLATFORM_REMOTE_DESKTOP_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mutter_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/portal_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/remote_desktop_session.cpp
)
