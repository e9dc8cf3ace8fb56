// The ways the process ends, and the exit-time actions that run at every ending.
#pragma once
#include "runtime/text.h"

namespace tarvex {

// Exit-time actions run last-registered first when the process ends through exit().
using exitaction = void (*)();
void addexitaction(exitaction action);

// Ends the process through the normal exit path; 0 is a normal end.
[[noreturn]] void endprogram(int status = 0);
// Writes the error text to standard error (low-byte encoded, no line end) and ends with 255.
[[noreturn]] void runtimeerrorexit(const Text& error);

} // namespace tarvex
