// The memory console of the hosts, with all its input given at once, and all its output kept.
#pragma once
#include <string>

#include "session/typedinput.h"

namespace tarvex::testing {

struct memconsole : typedinput {
  explicit memconsole(const std::string& input = "") : con(typedinput::con()) {
    feed(input), endinput();
  }
  std::string output() { return written += takeoutput(); }

  console& con;
  std::string written;
};

} // namespace tarvex::testing
