// The tick without its pause and its frame: stepping every pointer once, and the stop test.
//
// The run sequence does, per tick: pause; steppass; drawframe; stop if runover; otherwise
// applywrites (interp/writes.h).
#pragma once
#include "interp/machine.h"

namespace tarvex {

// One pass over the pointer list in list order: each pointer steps, then every other stepped
// pointer at its cell with its direction is removed (also when the stepping pointer removed
// itself). Removed records are released once the pass is over.
void steppass(machine& m);

// True when the pointer list is empty or "@" has halted the program.
bool runover(const machine& m);

// Runs up to `limit` ticks with no pause and no frame, applying writes after each tick that
// continues; returns the number of ticks run (the last one being the one that ended the run,
// if it ended).
int runticks(machine& m, int limit);

} // namespace tarvex
