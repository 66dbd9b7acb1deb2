# The X connection that capture and input each open.
set(PLATFORM_X11_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/x_connection.cpp
)
