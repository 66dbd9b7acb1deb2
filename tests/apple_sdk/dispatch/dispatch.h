// <dispatch/dispatch.h> as Objective-C with ARC sees it (OS_OBJECT_USE_OBJC):
// dispatch objects are Objective-C objects, retained and released by ARC.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/qos.h>

#define DISPATCH_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define DISPATCH_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
#define DISPATCH_EXPORT extern "C" __attribute__((visibility("default")))
#define DISPATCH_RETURNS_RETAINED __attribute__((ns_returns_retained))
#define DISPATCH_WARN_RESULT __attribute__((__warn_unused_result__))
#define DISPATCH_NONNULL_ALL __attribute__((__nonnull__))
#define DISPATCH_NOTHROW __attribute__((__nothrow__))
#define DISPATCH_API_MACOS(v) __attribute__((availability(macos, introduced = v)))

// os/object.h: OS_OBJECT_DECL_CLASS and OS_OBJECT_DECL_SUBCLASS.
@protocol NSObject;
@class NSObject;
@protocol OS_dispatch_object <NSObject>
@end
typedef NSObject<OS_dispatch_object>* dispatch_object_t;
#define DISPATCH_DECL_SUBCLASS(name, base) \
    @protocol OS_##name <OS_##base>        \
    @end                                   \
    typedef NSObject<OS_##name>* name##_t
#define DISPATCH_DECL(name) DISPATCH_DECL_SUBCLASS(name, dispatch_object)

DISPATCH_DECL(dispatch_queue);
DISPATCH_DECL_SUBCLASS(dispatch_queue_global, dispatch_queue);
DISPATCH_DECL(dispatch_queue_attr);
DISPATCH_DECL(dispatch_source);
DISPATCH_DECL(dispatch_semaphore);

DISPATCH_ASSUME_NONNULL_BEGIN

typedef void (^dispatch_block_t)(void);

// time.h
typedef uint64_t dispatch_time_t;
#define NSEC_PER_SEC 1000000000ull
#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_WARN_RESULT DISPATCH_NOTHROW
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);

// object.h
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_NONNULL_ALL DISPATCH_NOTHROW
void dispatch_resume(dispatch_object_t object);

// queue.h
#define DISPATCH_QUEUE_SERIAL NULL
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_WARN_RESULT DISPATCH_NOTHROW
dispatch_queue_global_t dispatch_get_global_queue(intptr_t identifier, uintptr_t flags);
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_RETURNS_RETAINED DISPATCH_WARN_RESULT DISPATCH_NOTHROW
dispatch_queue_t dispatch_queue_create(const char* _Nullable label, dispatch_queue_attr_t _Nullable attr);

// source.h
typedef const struct dispatch_source_type_s* dispatch_source_type_t;
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT const struct dispatch_source_type_s _dispatch_source_type_timer;
#define DISPATCH_SOURCE_TYPE_TIMER (&_dispatch_source_type_timer)
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_RETURNS_RETAINED DISPATCH_WARN_RESULT DISPATCH_NOTHROW
dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t handle, uintptr_t mask,
                                         dispatch_queue_t _Nullable queue);
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_NOTHROW
void dispatch_source_set_event_handler(dispatch_source_t source, dispatch_block_t _Nullable handler);
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_NOTHROW
void dispatch_source_set_timer(dispatch_source_t source, dispatch_time_t start, uint64_t interval,
                               uint64_t leeway);

// semaphore.h
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_RETURNS_RETAINED DISPATCH_WARN_RESULT DISPATCH_NOTHROW
dispatch_semaphore_t dispatch_semaphore_create(intptr_t value);
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_NONNULL_ALL DISPATCH_NOTHROW
intptr_t dispatch_semaphore_wait(dispatch_semaphore_t dsema, dispatch_time_t timeout);
DISPATCH_API_MACOS(10.6) DISPATCH_EXPORT DISPATCH_NONNULL_ALL DISPATCH_NOTHROW
intptr_t dispatch_semaphore_signal(dispatch_semaphore_t dsema);

DISPATCH_ASSUME_NONNULL_END
