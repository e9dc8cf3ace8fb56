// An X server of a test's own and the ways a test looks at and drives windows on it: Xvfb
// started on a free display and stopped with the test, windows found by title and owner, the
// close request a window manager sends, keys through xdotool and pictures through xwd.
// No X header leaks from here: libX11 is loaded at run time, so the tests that use this need
// neither SDL nor X at link time.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvex::testing {

// The full path of a program found on PATH; empty when it is not installed.
std::string findtool(const char* name);
inline bool installed(const char* name) {
  return !findtool(name).empty();
}

// Asks `ready` again every 20 ms until it holds or `seconds` have passed. Windows appear,
// repaint and go away on the server's time, so tests wait for them this way, never by a fixed
// sleep.
bool eventually(const std::function<bool()>& ready, double seconds = 5);

// The size limits a window asks the window manager for (WM_NORMAL_HINTS).
struct sizelimits {
  bool hasminimum = false, hasmaximum = false;
  int minwidth = 0, minheight = 0, maxwidth = 0, maxheight = 0;
};

// A connection of the test's own to an X display, for what the command-line tools cannot do.
class xconnection {
public:
  explicit xconnection(const std::string& display);
  ~xconnection();
  xconnection(const xconnection&) = delete;
  xconnection& operator=(const xconnection&) = delete;
  bool ready() const;

  // The mapped top-level window whose WM_NAME and _NET_WM_NAME are both `title` and, when
  // `owner` is not 0, whose _NET_WM_PID is `owner`; 0 for none.
  unsigned long findwindow(const std::string& title, pid_t owner = 0);
  // The process that says it owns the window (_NET_WM_PID); 0 when it does not say.
  pid_t windowowner(unsigned long window);
  // The size of the window's client area; false when the window is gone.
  bool clientsize(unsigned long window, int& width, int& height);
  bool sizehints(unsigned long window, sizelimits& limits);
  // WM_DELETE_WINDOW, as the close button of a window manager sends it.
  void requestclose(unsigned long window);

private:
  struct api;
  std::unique_ptr<api> _x;
};

// A window's picture as xwd writes it: a big-endian header, a colour map and ZPixmap rows.
struct screenshot {
  int width = 0, height = 0;
  int x = 0, y = 0;             // the window's place on the screen
  std::vector<uint32_t> pixels; // 0x00RRGGBB, row by row from the top

  static bool parse(const std::string& file, screenshot& shot);
};

// An Xvfb of its own (1024 by 768, 24 bits) on a display number it picks itself, stopped with
// the object, even when the test process dies first. DISPLAY points at it meanwhile.
class xserver {
public:
  xserver() = default;
  ~xserver();
  xserver(const xserver&) = delete;
  xserver& operator=(const xserver&) = delete;

  // False when it could not start; why is in `problem`.
  bool start();

  // Runs an X tool against this server; its standard output, empty when it failed.
  std::string tool(const char* name, std::vector<std::string> args) const;
  // The window's picture through xwd; false when there is none to be had.
  bool capture(unsigned long window, screenshot& shot) const;

  // Keys through the XTEST extension, so they reach whichever window has the focus, as a
  // keyboard's would. Key names are X keysym names ("Escape", "a", "Return").
  bool focus(unsigned long window) const;
  bool keydown(const std::string& key) const;
  bool keyup(const std::string& key) const;
  // One stroke sent to the window itself, focused or not.
  bool key(unsigned long window, const std::string& key) const;

  std::string display; // ":N"
  std::string problem;
  std::unique_ptr<xconnection> x;

private:
  bool fail(const std::string& why);
  pid_t _pid = -1;
  std::string _olddisplay;
  bool _haddisplay = false;
};

} // namespace tarvex::testing
