# The macOS build: ScreenCaptureKit capture, CGEvent input, a GCD frame timer
# and the NSRunLoop main thread, for arm64 on macOS 12.3 and later, signed for
# the hardened runtime. The POSIX stand-ins of the Linux build are not used.

enable_language(OBJCXX)

# ScreenCaptureKit needs 12.3; the helper is built for Apple silicon only.
set(CMAKE_OSX_DEPLOYMENT_TARGET 12.3)
set(CMAKE_OSX_ARCHITECTURES arm64)
set(CMAKE_OBJCXX_STANDARD 20)
set(CMAKE_OBJCXX_STANDARD_REQUIRED ON)
set(CMAKE_OBJCXX_EXTENSIONS OFF)
# helper_core was created before this file was read.
set_target_properties(helper_core PROPERTIES OSX_ARCHITECTURES arm64)

set(HELPER_CODESIGN_IDENTITY "-" CACHE STRING
  "Identity that codesign signs the helper with; - signs ad hoc")
set(HELPER_ENTITLEMENTS ${CMAKE_CURRENT_LIST_DIR}/screenshare-helper.entitlements)

add_executable(screenshare-helper
  src/app/main.cpp
  src/app/macos/main_loop_run_loop.mm
  src/capture/macos/capture_stream.mm
  src/capture/macos/frame_timer_dispatch.mm
  src/input/macos/accessibility_ax.mm
  src/input/macos/cgevent_poster.mm
)
target_compile_options(screenshare-helper PRIVATE $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc>)
target_link_libraries(screenshare-helper PRIVATE
  helper_core
  "-framework ScreenCaptureKit"
  "-framework CoreGraphics"
  "-framework CoreMedia"
  "-framework CoreVideo"
  "-framework CoreFoundation"
  "-framework Foundation"
  "-framework ApplicationServices"
)

# Screen Recording and Accessibility are granted to a signature: sign every
# build, for the hardened runtime, with the entitlements beside this file.
add_custom_command(TARGET screenshare-helper POST_BUILD
  COMMAND codesign --force --options runtime
          --entitlements ${HELPER_ENTITLEMENTS}
          --sign ${HELPER_CODESIGN_IDENTITY}
          $<TARGET_FILE:screenshare-helper>
  COMMENT "Signing screenshare-helper as ${HELPER_CODESIGN_IDENTITY}"
  VERBATIM)
