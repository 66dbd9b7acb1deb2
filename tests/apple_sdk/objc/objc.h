// <objc/objc.h>: the basic Objective-C types on arm64 macOS.
#pragma once

#include <stdbool.h>

#define OBJC_BOOL_IS_BOOL 1
typedef bool BOOL;
#define YES __objc_yes
#define NO __objc_no

#ifndef nil
#define nil nullptr
#endif
