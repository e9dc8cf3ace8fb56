// One step of one instruction pointer.
#pragma once
#include "interp/machine.h"

namespace tarvex {

// Holds or moves p one cell, drops it when it has left the grid, then prints the cell under
// it (string mode) or executes it. p stays readable after it removes itself; the caller
// releases it once the pass is over.
void update(machine& m, ip& p);

} // namespace tarvex
