// As bits/stdint-intn.h, for uint8_t to uint64_t.
#include <stdint.h>
