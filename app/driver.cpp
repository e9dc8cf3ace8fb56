// The run driver and the run sequence. Only here do the layers meet, and only here does a run's
// ending become an exit status.
#include "app/driver.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/endings.h"
#include "app/faultreport.h"
#include "app/hushed.h"
#include "app/startup.h"
#include "display/backend/window.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/loader.h"
#include "runtime/console.h"
#include "runtime/stream.h"

namespace tarvex {

namespace {

constexpr int64_t TICKPAUSE_MS = 128;
constexpr int FRAMERATE = 60;
constexpr int ESCAPE = 27;

// Stands in for the window when no display can be had: the canvas is still drawn, nothing is
// shown, and no key is ever down.
class noscreen final : public screen {
public:
  void Flip(const canvas&) override {}
  int KeyDown(int) override { return 0; }
  int AppTerminate() override { return 0; }
};

// The window lives to the end of the process: the fault box is shown over it, and the
// exit-time action closes it.
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

// Opens the 720 by 512 window, or settles for none after saying so on standard error.
screen& openscreen(canvas& surface, pacingclock& clock) {
  static noscreen none;
  std::unique_ptr<window>& opened = openwindow();
  for (int attempt = 0;; ++attempt) {
    {
      // What the video drivers and the libraries under them report while starting (a display
      // that refuses the connection, a missing runtime directory) must not reach the program's
      // own output.
      hushed quiet;
      opened = window::open(canvas::WIDTH, canvas::HEIGHT, apptitle());
    }
    // A display that is named but slow to answer (a busy machine, a server still starting)
    // gets two more tries before the program settles for running without a window.
    const bool named = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (opened || !named || attempt == 2) break;
    clock.sleep(250);
  }
  addexitaction(closewindow);

  surface.newgeneration();
  surface.resetstate();
  if (!opened) {
    std::fputs("tarvex: no display available; running without a window\n", stderr);
    std::fflush(stderr);
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

[[noreturn]] void run(int argc, char** argv) {
  startup(argc, argv);
  console& con = stdconsole();
  systemclock clock;

  canvas surface;
  screen& view = openscreen(surface, clock);
  surface.SetBlend(BLEND_ALPHA);
  glyphfont font = makefont(surface);
  if (!loadfont(surface, font, u"curses.bit")) {
    // There is no picture to show anything with, so nothing can go on.
    std::fputs("tarvex: cannot open the font file curses.bit\n", stderr);
    endprogram(1);
  }

  rundriver driver(con, surface, font.atlas, view, clock);
  const Text codefile = codefilename(arglist());
  if (!driver.load(codefile)) {
    con.printline(u"Could not load " + codefile);
    con.promptline(u">");
    // A source that cannot be opened is a failed run, not a successful one.
    endprogram(1);
  }
  if (!driver.show()) endprogram(0);
  for (;;) {
    tickresult result = driver.tick();
    if (result.stopped) endprogram(0);
    if (result.outcome.state == tickstate::fault) faultreport(result.outcome.fault);
    if (result.outcome.state != tickstate::going) break;
  }
  driver.closing();
  endprogram(0);
}

} // namespace

rundriver::rundriver(console& con, canvas& surface, image& atlas, screen& view, pacingclock& clock)
    : _con(con), _surface(surface), _atlas(atlas), _view(view), _clock(clock),
      _frames(FRAMERATE, clock), _machine(con) {}

bool rundriver::load(const Text& codefile) {
  if (!loadsource(_machine, codefile)) return false;
  _con.printline(u"Executing program..");
  _con.printline(u"");
  return true;
}

tickresult rundriver::tick() {
  _clock.sleep(TICKPAUSE_MS);
  tickresult result{steppass(_machine)};
  // A faulted pass ends the program where it stands: no frame, no writes.
  if (result.outcome.state == tickstate::fault) return result;
  result.stopped = !show();
  if (!result.stopped) endtick(_machine, result.outcome);
  return result;
}

void rundriver::closing() {
  _con.printline(u"");
  _con.printline(u"");
  _con.printline(u"Execution complete.");
  _con.promptline(u">");
}

bool rundriver::show() {
  paintframe(_surface, _atlas, _machine);
  // A close request that comes while Escape is down stays pending: the run ends anyway.
  if (_view.KeyDown(ESCAPE) != 0 || _view.AppTerminate() != 0) return false;
  _frames.wait();
  _view.Flip(_surface);
  return true;
}

void runsequence(int argc, char** argv) {
  // No stream error is caught on the way: each one ends the program here with its text.
  try {
    run(argc, argv);
  } catch (const TRuntimeException& e) {
    runtimeerrorexit(e.error);
  }
}

} // namespace tarvex
