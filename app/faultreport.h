// The report of faults: a named fault shown to the user.
// Faults come from two places: a run that returns one (a zero divisor) and the signals of
// real platform faults, which reach the same report through handlers on an alternate stack.
#pragma once
#include <cstdint>

#include "runtime/faultnames.h"

namespace tarvex {

// Whoever can show the user a box (the window) installs one; it returns false when no box
// could be shown. Without a box, or when it fails, the name and a line end go to standard
// error.
using faultbox = bool (*)(const char* name);
void setfaultbox(faultbox box);

// Shows the fault's name in the installed box; false when there is none or it failed, and
// the host then writes the name itself.
bool showfault(uint32_t code);

// Routes the signals of platform faults (SIGFPE, SIGSEGV, SIGILL, SIGBUS, SIGTRAP, and stack
// overflow on an alternate stack) to the report, which ends the process with status 2.
void installfaulthandlers();

} // namespace tarvex
