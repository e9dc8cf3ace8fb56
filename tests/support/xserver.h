// An X server of a test's own and the ways a test looks at and drives windows on it: Xvfb
// started on a free display, windows found and keys sent through xdotool, pictures through xwd,
// and the close request a window manager's close button sends.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/nocopy.h"

namespace tarvex::testing {

// Why the real-window tests cannot run here (a tool is missing); empty when they can.
std::string missingxtools();

// Asks `ready` every 20 ms until it holds or `seconds` have passed: windows appear, repaint
// and go away on the server's time.
bool eventually(const std::function<bool()>& ready, double seconds = 5);

// An Xvfb of its own (1024 by 768, 24 bits), stopped with the object or with the test
// process. From start() on DISPLAY names it, for this process and the programs it starts.
class xserver : nocopy {
public:
  xserver() = default;
  ~xserver();
  bool start(); // false when it could not start; why is in `problem`

  bool xdotool(std::vector<std::string> args) const;  // true when it succeeded
  unsigned long find(const std::string& title) const; // the mapped window so captioned, or 0
  std::string title(unsigned long window) const;      // its caption, empty when it has none
  // How many pixels of the window's picture differ from `expected`, rows of `width` pixels as
  // 0x00RRGGBB; -1 when there is no picture of that size.
  long differences(unsigned long window, int width, const std::vector<uint32_t>& expected) const;
  bool requestclose(unsigned long window) const; // WM_DELETE_WINDOW, as a close button sends it

  std::string problem;

private:
  pid_t _pid = -1;
};

} // namespace tarvex::testing
