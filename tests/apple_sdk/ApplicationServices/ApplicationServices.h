// ApplicationServices: CoreGraphics, and the Accessibility trust queries of
// HIServices (AXUIElement.h), which bridges its CoreFoundation types
// implicitly under ARC.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

CF_EXTERN_C_BEGIN
CF_IMPLICIT_BRIDGING_ENABLED

extern Boolean AXIsProcessTrusted(void) __attribute__((availability(macos, introduced = 10.4)));
extern Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef _Nullable options)
    __attribute__((availability(macos, introduced = 10.9)));
extern CFStringRef _Nonnull kAXTrustedCheckOptionPrompt __attribute__((availability(macos, introduced = 10.9)));

CF_IMPLICIT_BRIDGING_DISABLED
CF_EXTERN_C_END
