# The process plumbing of Windows: stdin's end, stop requests, stdout and
# its broken pipe, write_all, the log.
set(PLATFORM_WINDOWS_PROCESS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/stderr_relay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stdin_watch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stdout_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stop_requests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/write_all.cpp
)
# What the capture and input of Windows share: DPI awareness, the input desktop.
set(PLATFORM_WINDOWS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/binary_streams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dpi_awareness.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_desktop.cpp
)
