# screenshare-viewer: a controller that shows the shared screen in an SDL
# window and operates it. Built beside the helper, which it runs by default.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)  # to notice its window destroyed by another client

# The rules, pure: key codes, the keystroke rule, the frame's place in the window.
add_library(viewer_rules STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frame_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_translator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_codes.cpp
)
target_include_directories(viewer_rules PUBLIC src)
target_link_libraries(viewer_rules PUBLIC controller)
# SDL's key and button numbers only: the rules call nothing of SDL.
target_include_directories(viewer_rules PUBLIC ${SDL2_INCLUDE_DIRS})

add_executable(screenshare-viewer
  ${CMAKE_CURRENT_LIST_DIR}/viewer_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stderr_tee.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stream_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_loss.cpp
)
target_link_libraries(screenshare-viewer PRIVATE viewer_rules PkgConfig::SDL2 PkgConfig::X11 Threads::Threads)
