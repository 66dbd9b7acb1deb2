// Plain enums stay strict in C++: an integer is no event type.
#import <ApplicationServices/ApplicationServices.h>

CGEventRef make() { return CGEventCreateMouseEvent(NULL, 1, CGPointMake(0, 0), kCGMouseButtonLeft); }
