# The macOS build: ScreenCaptureKit capture, CGEvent input, a GCD frame timer
# and the NSRunLoop main thread, for arm64 on macOS 12.3 and later, signed for
# the hardened runtime. The POSIX stand-ins of the Linux build are not used.

enable_language(OBJCXX)

# The deployment target and architecture are set before project().
set(CMAKE_OBJCXX_STANDARD 20)
set(CMAKE_OBJCXX_STANDARD_REQUIRED ON)
set(CMAKE_OBJCXX_EXTENSIONS OFF)

set(HELPER_CODESIGN_IDENTITY "-" CACHE STRING
  "Identity that codesign signs the helper with; - signs ad hoc")
set(HELPER_ENTITLEMENTS ${CMAKE_CURRENT_LIST_DIR}/screenshare-helper.entitlements)

add_executable(screenshare-helper
  src/app/main.cpp
  src/app/macos/mac_backend.mm
  src/app/macos/main_loop_run_loop.mm
  src/capture/macos/capture_stream.mm
  src/capture/macos/frame_timer_dispatch.mm
  src/input/macos/accessibility_ax.mm
  src/input/macos/cgevent_poster.mm
)
# Our Objective-C++ must say what Apple's declarations say; the checks in
# objcxx-errors.txt fail the build, as they fail the type-check.
set(HELPER_OBJCXX_ERRORS_FILE ${CMAKE_CURRENT_LIST_DIR}/objcxx-errors.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HELPER_OBJCXX_ERRORS_FILE})
file(STRINGS ${HELPER_OBJCXX_ERRORS_FILE} HELPER_OBJCXX_ERRORS REGEX "^-")
target_compile_options(screenshare-helper PRIVATE
  "$<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc;${HELPER_OBJCXX_ERRORS}>")
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
# build, for the hardened runtime, with the entitlements beside this file. A
# real identity also gets a secure timestamp, which notarization requires;
# an ad-hoc signature cannot have one. Then check what was signed.
set(HELPER_CODESIGN_OPTIONS --force --options runtime --entitlements ${HELPER_ENTITLEMENTS})
if(NOT HELPER_CODESIGN_IDENTITY STREQUAL "-")
  list(APPEND HELPER_CODESIGN_OPTIONS --timestamp)
endif()
add_custom_command(TARGET screenshare-helper POST_BUILD
  COMMAND codesign ${HELPER_CODESIGN_OPTIONS} --sign ${HELPER_CODESIGN_IDENTITY}
          $<TARGET_FILE:screenshare-helper>
  COMMAND codesign --verify --strict $<TARGET_FILE:screenshare-helper>
  COMMENT "Signing screenshare-helper as ${HELPER_CODESIGN_IDENTITY}"
  VERBATIM)
