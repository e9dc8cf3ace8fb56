// The cores the process may use.
#include "runtime/cores.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>

namespace tarvex {

int usablecores() {
  int cores = 0;
#ifdef __linux__
  // The affinity mask, not the machine's count: a process pinned to some cores (taskset, a
  // container's cpuset) gains nothing from more threads than it may run at once.
  cpu_set_t mask;
  if (sched_getaffinity(0, sizeof mask, &mask) == 0) cores = CPU_COUNT(&mask);
#endif
  if (cores <= 0) cores = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
  return std::clamp(cores, 1, MOSTTHREADS);
}

} // namespace tarvex
