// ScreenCaptureKit as of macOS 12.3 (SCShareableContent.h, SCStream.h,
// SCError.h), as far as the capture stream uses it.
#pragma once

#import <CoreGraphics/CoreGraphics.h>
#import <CoreMedia/CoreMedia.h>
#import <Foundation/Foundation.h>

// SCError.h
// The SDK spells _Nonnull here with its __nonnull macro, which glibc takes.
extern NSString* const _Nonnull SCStreamErrorDomain;

NS_ASSUME_NONNULL_BEGIN

typedef NS_ERROR_ENUM(SCStreamErrorDomain, SCStreamErrorCode){
    SCStreamErrorUserDeclined = -3801,
    SCStreamErrorFailedToStart = -3802,
    SCStreamErrorMissingEntitlements = -3803,
    SCStreamErrorFailedApplicationConnectionInvalid = -3804,
    SCStreamErrorFailedApplicationConnectionInterrupted = -3805,
    SCStreamErrorFailedNoMatchingApplicationContext = -3806,
    SCStreamErrorAttemptToStartStreamState = -3807,
    SCStreamErrorAttemptToStopStreamState = -3808,
    SCStreamErrorAttemptToUpdateFilterState = -3809,
    SCStreamErrorAttemptToConfigState = -3810,
    SCStreamErrorInternalError = -3811,
    SCStreamErrorInvalidParameter = -3812,
    SCStreamErrorNoWindowList = -3813,
    SCStreamErrorNoDisplayList = -3814,
    SCStreamErrorNoCaptureSource = -3815,
    SCStreamErrorRemovingStream = -3816,
};

// SCShareableContent.h
API_AVAILABLE(macos(12.3))
@interface SCWindow : NSObject
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
@end

API_AVAILABLE(macos(12.3))
@interface SCDisplay : NSObject
@property (readonly) CGDirectDisplayID displayID;
@property (readonly) NSInteger width;
@property (readonly) NSInteger height;
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
@end

API_AVAILABLE(macos(12.3))
@interface SCShareableContent : NSObject
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
+ (void)getShareableContentWithCompletionHandler:
    (void (^)(SCShareableContent* _Nullable shareableContent, NSError* _Nullable error))completionHandler
    NS_SWIFT_ASYNC_NAME(getter:current());
@property (readonly) NSArray<SCWindow*>* windows;
@property (readonly) NSArray<SCDisplay*>* displays;
@end

// SCStream.h
typedef NS_ENUM(NSInteger, SCFrameStatus){
    SCFrameStatusComplete,
    SCFrameStatusIdle,
    SCFrameStatusBlank,
    SCFrameStatusSuspended,
    SCFrameStatusStarted,
    SCFrameStatusStopped,
};

typedef NS_ENUM(NSInteger, SCStreamOutputType){
    SCStreamOutputTypeScreen,
};

API_AVAILABLE(macos(12.3))
@interface SCContentFilter : NSObject
- (instancetype)initWithDisplay:(SCDisplay*)display excludingWindows:(NSArray<SCWindow*>*)excluded;
@end

API_AVAILABLE(macos(12.3))
@interface SCStreamConfiguration : NSObject
@property (nonatomic, assign) size_t width;
@property (nonatomic, assign) size_t height;
@property (nonatomic, assign) CMTime minimumFrameInterval;
@property (nonatomic, assign) OSType pixelFormat;
@property (nonatomic, assign) BOOL showsCursor;
@property (nonatomic, assign) NSInteger queueDepth;
- (instancetype)init;
@end

API_AVAILABLE(macos(12.3))
@protocol SCStreamDelegate;

API_AVAILABLE(macos(12.3))
typedef NSString* SCStreamFrameInfo NS_TYPED_ENUM;
extern SCStreamFrameInfo const SCStreamFrameInfoStatus API_AVAILABLE(macos(12.3));

@protocol SCStreamOutput;
API_AVAILABLE(macos(12.3))
@interface SCStream : NSObject
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
- (instancetype)initWithFilter:(SCContentFilter*)contentFilter
                 configuration:(SCStreamConfiguration*)streamConfig
                      delegate:(id<SCStreamDelegate> _Nullable)delegate;
- (BOOL)addStreamOutput:(id<SCStreamOutput>)output
                  type:(SCStreamOutputType)type
    sampleHandlerQueue:(dispatch_queue_t _Nullable)sampleHandlerQueue
                 error:(NSError**)error NS_SWIFT_ASYNC_NAME(addStreamOutput(_:type:sampleHandlerQueue:))
                           NS_SWIFT_NAME(addStreamOutput(_:type:sampleHandlerQueue:));
- (void)startCaptureWithCompletionHandler:(nullable void (^)(NSError* _Nullable error))completionHandler;
- (void)stopCaptureWithCompletionHandler:(nullable void (^)(NSError* _Nullable error))completionHandler;
@end

API_AVAILABLE(macos(12.3))
@protocol SCStreamOutput <NSObject>
@optional
- (void)stream:(SCStream*)stream
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
                   ofType:(SCStreamOutputType)type;
@end

API_AVAILABLE(macos(12.3))
@protocol SCStreamDelegate <NSObject>
@optional
- (void)stream:(SCStream*)stream didStopWithError:(NSError*)error;
@end

NS_ASSUME_NONNULL_END
