// Queued grid writes: instructions queue them during a tick, the end of the tick applies them.
#pragma once
#include <cstdint>

#include "interp/machine.h"

namespace tarvex {

// Queues `code` for (x, y); the record keeps the low 32 bits of each coordinate. The grid
// does not change until applywrites.
void queuewrite(machine& m, int64_t x, int64_t y, char16_t code);

// Applies the queued writes in queue order, only the first one queued for each (x, y) pair,
// through writecell; then empties the queue.
void applywrites(machine& m);

} // namespace tarvex
