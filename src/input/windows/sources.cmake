# Input on Windows: SendInput.
set(INPUT_WINDOWS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/send_input_poster.cpp
)
