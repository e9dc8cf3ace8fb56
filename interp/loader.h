// Loading a program: choosing the source file, reading it into the grid, starting the first
// pointers.
#pragma once
#include <vector>

#include "interp/machine.h"
#include "runtime/stream.h"

namespace tarvex {

// Entry 1 of the argument list when there is one, otherwise "code.txt".
Text codefilename(const std::vector<Text>& arglist);

// Reads every line of `source` into the grid, each followed by one space, then spreads four
// pointers at every "%" in reading order. At least one line is always read.
void loadgrid(machine& m, TStream& source);

// Opens `codefile`, loads it and closes it; false, with the machine untouched, when it cannot
// be opened.
bool loadsource(machine& m, const Text& codefile);

} // namespace tarvex
