# Portable capture sources beyond the frame store and stream.
set(CAPTURE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/display_choice.cpp
)
