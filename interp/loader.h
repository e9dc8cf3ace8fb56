// Loading a program: reading the source into the grid and starting the first pointers.
#pragma once
#include "interp/machine.h"
#include "runtime/stream.h"

namespace tarvex {

// Reads every line of `source` into the grid, each followed by one space, then spreads four
// pointers at every "%" in reading order. At least one line is always read.
void loadgrid(machine& m, TStream& source);

// Opens `codefile`, loads it and closes it; false, with the machine untouched, when it cannot
// be opened.
bool loadsource(machine& m, const Text& codefile);

} // namespace tarvex
