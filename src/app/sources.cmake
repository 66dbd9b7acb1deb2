# The process lifecycle that every platform shares; main.cpp itself is
# linked by each executable, beside the backend it runs on.
set(APP_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/accessibility_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/control_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shutdown_monitor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signal_stop.cpp
)
