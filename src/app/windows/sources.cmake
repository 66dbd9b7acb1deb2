# The Windows backend behind the platform seams, and the parked main thread.
set(APP_WINDOWS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/main_loop_park.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windows_backend.cpp
)
