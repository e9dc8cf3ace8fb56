// Standard output and standard error pointed at /dev/null for as long as a `hushed` lives.
// Libraries that report their own troubles on the process's streams (the video drivers while
// a window opens) must not mix those into the program's output.
#pragma once

namespace tarvex {

class hushed {
public:
  hushed();
  ~hushed();
  hushed(const hushed&) = delete;
  hushed& operator=(const hushed&) = delete;

private:
  int _saved[2] = {-1, -1};
};

} // namespace tarvex
