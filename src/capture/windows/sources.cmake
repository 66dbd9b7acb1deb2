# The GDI capture of Windows and the frame timer on a waitable timer.
set(CAPTURE_WINDOWS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/frame_timer_waitable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icon_reader.cpp
)
