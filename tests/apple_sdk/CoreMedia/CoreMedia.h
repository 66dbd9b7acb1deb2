// CoreMedia: CMTime (CMTime.h) and the sample buffer accessors the sample
// handler uses (CMSampleBuffer.h).
#pragma once

#include <stdint.h>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreVideo/CoreVideo.h>

#define CM_EXPORT extern
#define CM_NULLABLE _Nullable
#define CM_NONNULL _Nonnull
#define CM_BRIDGED_TYPE(T) CF_BRIDGED_TYPE(T)

CF_EXTERN_C_BEGIN

typedef int64_t CMTimeValue;
typedef int32_t CMTimeScale;
typedef int64_t CMTimeEpoch;
typedef CF_OPTIONS(uint32_t, CMTimeFlags){
    kCMTimeFlags_Valid = 1UL << 0,
    kCMTimeFlags_HasBeenRounded = 1UL << 1,
    kCMTimeFlags_PositiveInfinity = 1UL << 2,
    kCMTimeFlags_NegativeInfinity = 1UL << 3,
    kCMTimeFlags_Indefinite = 1UL << 4,
};

#pragma pack(push, 4)
typedef struct {
    CMTimeValue value;
    CMTimeScale timescale;
    CMTimeFlags flags;
    CMTimeEpoch epoch;
} CMTime;
#pragma pack(pop)

CM_EXPORT CMTime CMTimeMake(int64_t value, int32_t timescale)
    __attribute__((availability(macos, introduced = 10.7)));

typedef struct CM_BRIDGED_TYPE(id) opaqueCMSampleBuffer* CMSampleBufferRef;

CM_EXPORT CVImageBufferRef CM_NULLABLE CMSampleBufferGetImageBuffer(CMSampleBufferRef CM_NONNULL sbuf)
    __attribute__((availability(macos, introduced = 10.7)));
CM_EXPORT CFArrayRef CM_NULLABLE CMSampleBufferGetSampleAttachmentsArray(CMSampleBufferRef CM_NONNULL sbuf,
                                                                        Boolean createIfNecessary)
    __attribute__((availability(macos, introduced = 10.7)));

CF_EXTERN_C_END
