// Standard output and standard error pointed at /dev/null for as long as a `hushed` lives.
// Libraries that report their own troubles on the process's streams (the video drivers while
// a window opens) must not mix those into the program's output.
#pragma once

#include "runtime/nocopy.h"

namespace tarvex {

class hushed : nocopy {
public:
  hushed();
  ~hushed();

private:
  int _saved[2] = {-1, -1};
};

} // namespace tarvex
