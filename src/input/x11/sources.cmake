set(INPUT_X11_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/x11_keysyms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xtest_accessibility.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xtest_connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xtest_poster.cpp
)
