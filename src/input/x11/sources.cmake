# The X11 input backend: XTest, with spare keys for characters the keyboard lacks.
set(INPUT_X11_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/xkb_keyboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xtest_poster.cpp
)
# How long a spare key keeps a character after its last use; only the
# benchmarks set another.
set(HELPER_SPARE_KEY_REUSE_MS 200 CACHE STRING "Milliseconds before a spare X key takes another character")
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/xtest_poster.cpp PROPERTIES
  COMPILE_DEFINITIONS HELPER_SPARE_KEY_REUSE_MS=${HELPER_SPARE_KEY_REUSE_MS})
