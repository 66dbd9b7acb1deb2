// <inttypes.h>: not transcribed. glibc's would print int64_t with "%ld",
// which the Darwin types of stdint.h here reject; copy Darwin's PRI and SCN
// macros ("ll" for 64 bits) into this file when the backend needs them.
#error "Darwin's <inttypes.h> is not among the declarations here"
