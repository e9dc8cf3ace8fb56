// How many threads a run's step pass may use: the most it may be given, and the cores the
// process may run on, which is what it gets when nobody says.
#pragma once

namespace tarvex {

constexpr int MOSTTHREADS = 1024;

// The cores in the process's affinity mask, at least 1 and at most MOSTTHREADS.
int usablecores();

} // namespace tarvex
