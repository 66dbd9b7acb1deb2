# What capture and input share on every platform.
set(PLATFORM_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failure_exit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/write_all.cpp
)
