// A 64-bit integer is long long on a Mac: "%ld" is the wrong length for it.
#import <CoreMedia/CoreMedia.h>

#include <stdio.h>

void print(CMTime time) { printf("%ld\n", time.value); }
