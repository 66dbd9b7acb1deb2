# What capture and input share on every platform.
set(PLATFORM_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failure_exit.cpp
)
# The process plumbing of POSIX systems (Linux and macOS).
set(PLATFORM_POSIX_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/posix/stderr_relay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posix/stdin_watch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posix/stdout_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posix/stop_requests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posix/write_all.cpp
)
