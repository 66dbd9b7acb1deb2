# The portable capture core: the frame store and stream, the capture
# thread's stop handshake, and the pure rules every backend uses.
set(CAPTURE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/capture_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cursor_backgrounds.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cursor_composite.cpp
  ${CMAKE_CURRENT_LIST_DIR}/duplication_step.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_region.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_formats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/row_changes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stream_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stream_stop.cpp
)
