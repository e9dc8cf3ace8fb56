// The statuses a run ends with besides 0, the same whichever host ran it and however it ended:
// in the session, or in the process itself (a platform fault, memory that ran out).
#pragma once

namespace tarvex {

constexpr int EXIT_MISSING = 1; // a file the run needs could not be opened
constexpr int EXIT_FAULT = 2;   // a step faulted, such as a zero divisor
constexpr int EXIT_LIMIT = 3;   // the tick limit, the pointer cap or the memory stopped the run

} // namespace tarvex
