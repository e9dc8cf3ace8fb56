// Making pointers: the only way a pointer comes into being.
#pragma once
#include <cstdint>

#include "interp/machine.h"

namespace tarvex {

// Appends a new pointer at (x, y) for each direction up, down, left, right in that order,
// except the reverse of `dir` (so -1 gives four). Each gets its own copies of v0, v1 and on,
// the low 8 bits of remafter, and n = 1.
void spread(machine& m, int32_t x, int32_t y, int32_t dir, uint8_t v0, uint8_t v1, int32_t on,
            int32_t remafter);

} // namespace tarvex
