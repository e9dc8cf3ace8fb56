// The report of platform faults: a named fault shown to the user, then the end of the process.
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

// Shows the fault and ends the process with status 2 through the normal exit path.
[[noreturn]] void faultreport(uint32_t code);

// Routes the signals of platform faults (SIGFPE, SIGSEGV, SIGILL, SIGBUS, SIGTRAP, and stack
// overflow on an alternate stack) to faultreport.
void installfaulthandlers();

} // namespace tarvex
