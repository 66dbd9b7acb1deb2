// An event type where a mouse button belongs must not compile.
#import <ApplicationServices/ApplicationServices.h>

CGEventRef make() {
    return CGEventCreateMouseEvent(NULL, kCGMouseButtonLeft, CGPointMake(0, 0), kCGEventLeftMouseDown);
}
