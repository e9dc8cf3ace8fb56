// The base of every object that owns something only one may hold: a file, a stream, a window,
// a process's output. A copy would close or free it twice, so none can be made.
#pragma once

namespace tarvex {

struct nocopy {
  nocopy() = default;
  nocopy(const nocopy&) = delete;
  nocopy& operator=(const nocopy&) = delete;
};

} // namespace tarvex
