# The X11 input backend: XTest, with spare keys for characters the keyboard lacks.
set(INPUT_X11_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/xtest_poster.cpp
)
