// One step of one instruction pointer.
#pragma once
#include "interp/machine.h"

namespace tarvex {

// Holds or moves p one cell, drops it when it has left the grid, then prints the cell under
// it (string mode) or executes it. p stays readable after it removes itself; the caller
// releases it once the pass is over.
void update(machine& m, ip& p);

// Whether p's next step executes ":" and so reads a console line. A host that cannot block
// for input asks before the step and waits until a line is there.
bool readsinput(const machine& m, const ip& p);

} // namespace tarvex
