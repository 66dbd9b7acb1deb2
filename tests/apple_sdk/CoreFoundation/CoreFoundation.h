// CoreFoundation: base types (CFBase.h, MacTypes.h), the bridged types the
// backend casts to and from, and CFRelease.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <dispatch/dispatch.h>

#define CF_EXTERN_C_BEGIN extern "C" {
#define CF_EXTERN_C_END }
#define CF_EXPORT extern
#define CF_INLINE static inline
#define CF_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define CF_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
#define CF_IMPLICIT_BRIDGING_ENABLED _Pragma("clang arc_cf_code_audited begin")
#define CF_IMPLICIT_BRIDGING_DISABLED _Pragma("clang arc_cf_code_audited end")
#define CF_BRIDGED_TYPE(T) __attribute__((objc_bridge(T)))
#define __CF_ENUM_ATTRIBUTES __attribute__((enum_extensibility(open)))
#define __CF_OPTIONS_ATTRIBUTES __attribute__((flag_enum, enum_extensibility(open)))
#define CF_ENUM(_type, _name) enum __CF_ENUM_ATTRIBUTES _name : _type _name; enum _name : _type
// In C++ an option set is the integer type itself plus anonymous constants,
// so 0 and or-ed masks pass where it is taken.
#define CF_OPTIONS(_type, _name) _type _name; enum __CF_OPTIONS_ATTRIBUTES : _type

// MacTypes.h
typedef unsigned char Boolean;
typedef unsigned short UInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef UInt16 UniChar;
typedef unsigned long UniCharCount;

CF_EXTERN_C_BEGIN
CF_ASSUME_NONNULL_BEGIN

typedef long CFIndex;
typedef const CF_BRIDGED_TYPE(id) void* CFTypeRef;
typedef const struct CF_BRIDGED_TYPE(NSString) __CFString* CFStringRef;
typedef const struct CF_BRIDGED_TYPE(NSArray) __CFArray* CFArrayRef;
typedef const struct CF_BRIDGED_TYPE(NSDictionary) __CFDictionary* CFDictionaryRef;

CF_EXPORT void CFRelease(CFTypeRef cf);

CF_ASSUME_NONNULL_END
CF_EXTERN_C_END
