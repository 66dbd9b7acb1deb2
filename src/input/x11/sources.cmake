set(INPUT_X11_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/xtest_accessibility.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xtest_poster.cpp
)
