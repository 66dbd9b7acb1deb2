// Foundation: the root class and the few classes the backend touches
// (NSObject, NSArray, NSDictionary, NSNumber, NSString, NSError, NSRunLoop),
// with what the literals @[], @{} and @YES and for-in need of them.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <dispatch/dispatch.h>
#include <objc/objc.h>

#define NS_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define NS_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
#define NS_ENUM(_type, _name) enum _name : _type _name; enum _name : _type
#define NS_ERROR_ENUM(_domain, _name)                                   \
    enum __attribute__((ns_error_domain(_domain))) _name : NSInteger _name; \
    enum __attribute__((ns_error_domain(_domain))) _name : NSInteger
#define NS_TYPED_ENUM __attribute__((swift_wrapper(enum)))
#define NS_UNAVAILABLE __attribute__((unavailable))
#define NS_RETURNS_INNER_POINTER __attribute__((objc_returns_inner_pointer))
#define NS_SWIFT_NAME(_name) __attribute__((swift_name(#_name)))
#define NS_SWIFT_ASYNC_NAME(_name) __attribute__((swift_async_name(#_name)))
#define NS_SWIFT_ASYNC(_index) __attribute__((swift_async(swift_private, _index)))
#define API_AVAILABLE(x) API_AVAILABLE_##x
#define API_AVAILABLE_macos(v) __attribute__((availability(macos, introduced = v)))
#define FOUNDATION_EXPORT extern "C"

typedef long NSInteger;
typedef unsigned long NSUInteger;

NS_ASSUME_NONNULL_BEGIN

// objc/NSObject.h
@class NSString;
@protocol NSObject
- (BOOL)isEqual:(id)object;
@property (readonly) NSUInteger hash;
@end

__attribute__((objc_root_class))
@interface NSObject <NSObject>
+ (instancetype)alloc;
+ (instancetype)new;
- (instancetype)init;
@end

@protocol NSCopying
- (id)copyWithZone:(nullable struct _NSZone*)zone;
@end

// NSEnumerator.h
typedef struct {
    unsigned long state;
    id __unsafe_unretained _Nullable* _Nullable itemsPtr;
    unsigned long* _Nullable mutationsPtr;
    unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState*)state
                                  objects:(id __unsafe_unretained _Nullable[_Nonnull])buffer
                                    count:(NSUInteger)len;
@end

// NSString.h
@interface NSString : NSObject <NSCopying>
@property (nullable, readonly) const char* UTF8String NS_RETURNS_INNER_POINTER;
@end

// NSArray.h
@interface NSArray<__covariant ObjectType> : NSObject <NSCopying, NSFastEnumeration>
@property (readonly) NSUInteger count;
- (ObjectType)objectAtIndex:(NSUInteger)index;
@property (nullable, nonatomic, readonly) ObjectType firstObject API_AVAILABLE(macos(10.6));
+ (instancetype)arrayWithObjects:(const ObjectType _Nonnull[_Nonnull])objects count:(NSUInteger)cnt;
@end

// NSDictionary.h
@interface NSDictionary<__covariant KeyType, __covariant ObjectType> : NSObject <NSCopying, NSFastEnumeration>
@property (readonly) NSUInteger count;
- (nullable ObjectType)objectForKey:(KeyType)aKey;
- (nullable ObjectType)objectForKeyedSubscript:(KeyType)key API_AVAILABLE(macos(10.8));
+ (instancetype)dictionaryWithObjects:(const ObjectType _Nonnull[_Nonnull])objects
                              forKeys:(const KeyType<NSCopying> _Nonnull[_Nonnull])keys
                                count:(NSUInteger)cnt;
@end

// NSValue.h
@interface NSValue : NSObject <NSCopying>
@end

@interface NSNumber : NSValue
@property (readonly) NSInteger integerValue API_AVAILABLE(macos(10.5));
+ (NSNumber*)numberWithBool:(BOOL)value;
@end

// NSError.h
typedef NSString* NSErrorDomain;
@interface NSError : NSObject <NSCopying>
@property (readonly, copy) NSErrorDomain domain;
@property (readonly) NSInteger code;
@property (readonly, copy) NSString* localizedDescription;
@end

// NSRunLoop.h
@interface NSRunLoop : NSObject
@property (class, readonly, strong) NSRunLoop* mainRunLoop API_AVAILABLE(macos(10.5));
- (void)run;
@end

NS_ASSUME_NONNULL_END
