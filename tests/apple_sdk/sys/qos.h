// <sys/qos.h>: quality-of-service classes, as C++ sees them.
#pragma once

typedef enum qos_class : unsigned int {
    QOS_CLASS_USER_INTERACTIVE __attribute__((availability(macos, introduced = 10.10))) = 0x21,
    QOS_CLASS_USER_INITIATED __attribute__((availability(macos, introduced = 10.10))) = 0x19,
    QOS_CLASS_DEFAULT __attribute__((availability(macos, introduced = 10.10))) = 0x15,
    QOS_CLASS_UTILITY __attribute__((availability(macos, introduced = 10.10))) = 0x11,
    QOS_CLASS_BACKGROUND __attribute__((availability(macos, introduced = 10.10))) = 0x09,
    QOS_CLASS_UNSPECIFIED __attribute__((availability(macos, introduced = 10.10))) = 0x00,
} qos_class_t;
