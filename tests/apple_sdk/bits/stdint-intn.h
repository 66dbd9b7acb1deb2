// glibc's <sys/types.h> and others take int8_t to int64_t from here: they
// get Darwin's, so that no header sees glibc's long int64_t first.
#include <stdint.h>
