// The report of platform faults: a named fault shown to the user, then the end of the process.
#pragma once
#include <cstdint>

namespace tarvex {

namespace faultcode {
constexpr uint32_t ACCESS_VIOLATION = 0xC0000005;
constexpr uint32_t ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr uint32_t FLT_DIVIDE_BY_ZERO = 0xC000008E;
constexpr uint32_t INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr uint32_t STACK_OVERFLOW = 0xC00000FD;
} // namespace faultcode

// The fault's name from the table, "EXCEPTION_UNKNOWN" for any other code.
const char* faultname(uint32_t code);

// Whoever can show the user a box (the window layer) installs one; without a box the name
// and a line end go to standard error.
using faultbox = void (*)(const char* name);
void setfaultbox(faultbox box);

// Shows the fault and ends the process with status 2 through the normal exit path.
[[noreturn]] void faultreport(uint32_t code);

// Routes the signals of platform faults (SIGFPE, SIGSEGV, SIGILL, SIGBUS, SIGTRAP, and stack
// overflow on an alternate stack) to faultreport.
void installfaulthandlers();

} // namespace tarvex
