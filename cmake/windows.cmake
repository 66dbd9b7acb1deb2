# The Windows build, cross-compiled with mingw-w64 (cmake/mingw-w64.cmake):
# GDI capture, SendInput, a waitable-timer frame timer and a parked main
# thread, in one statically linked .exe that needs no DLL but the system's.
# Beside it, the Win32 programs the tests and the benchmark run under Wine.

include(src/capture/windows/sources.cmake)
include(src/input/windows/sources.cmake)
include(src/app/windows/sources.cmake)

add_executable(screenshare-helper
  src/app/main.cpp
  ${APP_WINDOWS_SOURCES} ${PLATFORM_WINDOWS_SOURCES} ${CAPTURE_WINDOWS_SOURCES} ${INPUT_WINDOWS_SOURCES}
)
target_link_libraries(screenshare-helper PRIVATE helper_core user32 gdi32 winmm)
target_link_options(screenshare-helper PRIVATE -static)

# A window that draws a known pattern and logs the input it gets.
add_executable(test_window WIN32 tests/windows/test_window.cpp)
target_link_libraries(test_window PRIVATE user32 gdi32)
target_link_options(test_window PRIVATE -static)

# The benchmark's yardstick: BitBlt the screen and write it, nothing else.
add_executable(bitblt_loop bench/windows/bitblt_loop.cpp)
target_link_libraries(bitblt_loop PRIVATE user32 gdi32)
target_link_options(bitblt_loop PRIVATE -static)

# The benchmark's busy screen: the whole monitor painted anew every frame.
add_executable(busy_window WIN32 bench/windows/busy_window.cpp)
target_link_libraries(busy_window PRIVATE user32 gdi32)
target_link_options(busy_window PRIVATE -static)
