// The window, or the screen that stands in for it.
#include "app/screens.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/endings.h"
#include "app/faultreport.h"
#include "app/hushed.h"
#include "app/startup.h"
#include "display/backend/window.h"

namespace tarvex {

namespace {

// Stands in for the window when there is none: the canvas is still drawn, nothing is shown,
// and no key is ever down.
class noscreen final : public screen {
public:
  void Flip(const canvas&) override {}
  int KeyDown(int) override { return 0; }
  int AppTerminate() override { return 0; }
};

std::unique_ptr<window>& openwindow() {
  static std::unique_ptr<window> opened;
  return opened;
}

bool faultboxoverwindow(const char* name) {
  return openwindow() && openwindow()->showfault(name);
}

void closewindow() {
  setfaultbox(nullptr);
  openwindow().reset();
}

} // namespace

bool haswindow() {
  return openwindow() != nullptr;
}

screen& openscreen(canvas& surface, pacingclock& clock, bool wanted, int scale) {
  static noscreen none;
  std::unique_ptr<window>& opened = openwindow();
  for (int attempt = 0; wanted; ++attempt) {
    {
      // What the video drivers and the libraries under them report while starting (a display
      // that refuses the connection, a missing runtime directory) must not reach the program's
      // own output.
      hushed quiet;
      opened = window::open(canvas::WIDTH, canvas::HEIGHT, apptitle(), scale);
    }
    // A display that is named but slow to answer (a busy machine, a server still starting)
    // gets two more tries before the program settles for running without a window.
    const bool named = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (opened || !named || attempt == 2) break;
    clock.sleep(250);
  }
  addexitaction(closewindow);

  if (!opened) {
    if (wanted) {
      std::fputs("tarvex: no display available; running without a window\n", stderr);
      std::fflush(stderr);
    }
    surface.Cls();
    return none;
  }
  for (int i = 0; i < 2; ++i) {
    surface.Cls();
    opened->Flip(surface);
  }
  opened->discardinput();
  setfaultbox(faultboxoverwindow);
  return *opened;
}

} // namespace tarvex
