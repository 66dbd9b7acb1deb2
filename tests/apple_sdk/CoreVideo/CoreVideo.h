// CoreVideo: pixel buffers (CVReturn.h, CVBase.h, CVBuffer.h, CVImageBuffer.h,
// CVPixelBuffer.h), as far as the sample handler reads them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <CoreFoundation/CoreFoundation.h>

#define CV_EXPORT extern
#define CV_NULLABLE _Nullable
#define CV_NONNULL _Nonnull

CF_EXTERN_C_BEGIN

typedef int32_t CVReturn;
enum : CVReturn {
    kCVReturnSuccess = 0,
    kCVReturnError = -6660,
    kCVReturnInvalidArgument = -6661,
};

typedef uint64_t CVOptionFlags;

typedef struct CF_BRIDGED_TYPE(id) __CVBuffer* CVBufferRef;
typedef CVBufferRef CVImageBufferRef;
typedef CVImageBufferRef CVPixelBufferRef;

enum : OSType {
    kCVPixelFormatType_32ARGB = 0x00000020,
    kCVPixelFormatType_32BGRA = 'BGRA',
};

typedef CF_OPTIONS(CVOptionFlags, CVPixelBufferLockFlags){
    kCVPixelBufferLock_ReadOnly = 0x00000001,
};

CV_EXPORT CVReturn CVPixelBufferLockBaseAddress(CVPixelBufferRef CV_NONNULL pixelBuffer,
                                                CVPixelBufferLockFlags lockFlags)
    __attribute__((availability(macos, introduced = 10.4)));
CV_EXPORT CVReturn CVPixelBufferUnlockBaseAddress(CVPixelBufferRef CV_NONNULL pixelBuffer,
                                                  CVPixelBufferLockFlags unlockFlags)
    __attribute__((availability(macos, introduced = 10.4)));
CV_EXPORT size_t CVPixelBufferGetWidth(CVPixelBufferRef CV_NONNULL pixelBuffer)
    __attribute__((availability(macos, introduced = 10.4)));
CV_EXPORT size_t CVPixelBufferGetHeight(CVPixelBufferRef CV_NONNULL pixelBuffer)
    __attribute__((availability(macos, introduced = 10.4)));
CV_EXPORT size_t CVPixelBufferGetBytesPerRow(CVPixelBufferRef CV_NONNULL pixelBuffer)
    __attribute__((availability(macos, introduced = 10.4)));
CV_EXPORT void* CV_NULLABLE CVPixelBufferGetBaseAddress(CVPixelBufferRef CV_NONNULL pixelBuffer)
    __attribute__((availability(macos, introduced = 10.4)));

CF_EXTERN_C_END
