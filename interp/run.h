// The run sequence: the program's entry, from start-up to the last ending.
#pragma once

namespace tarvex {

[[noreturn]] void runsequence(int argc, char** argv);

} // namespace tarvex
