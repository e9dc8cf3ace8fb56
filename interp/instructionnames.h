// What each instruction does, in a few words ("add one", "split"), for the debugger's frames and
// any panel that shows a cell.
#pragma once

namespace tarvex {

// The name of the instruction `c` is; "nothing" for a character that is none.
const char* instructionname(char16_t c);

} // namespace tarvex
