// The run sequence: start-up, window, font, loading, the ticks, the closing lines. Every way
// out of here ends the process.
#include "interp/run.h"

#include <cerrno>
#include <ctime>

#include "display/backend/canvas.h"
#include "display/backend/window.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/loader.h"
#include "interp/machine.h"
#include "interp/tick.h"
#include "interp/writes.h"
#include "runtime/console.h"
#include "runtime/endings.h"
#include "runtime/startup.h"
#include "runtime/stream.h"

namespace tarvex {

namespace {

constexpr long TICKPAUSE_MS = 128;

// Sleeps until an absolute point of the monotonic clock, so an interrupted sleep resumes
// toward the same deadline instead of starting over.
void pause(long milliseconds) {
  timespec until{};
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_nsec += (milliseconds % 1000) * 1000000L;
  until.tv_sec += milliseconds / 1000 + until.tv_nsec / 1000000000L;
  until.tv_nsec %= 1000000000L;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

[[noreturn]] void run(int argc, char** argv) {
  startup(argc, argv);
  console& con = stdconsole();
  machine m(con); // the pointer list and the pending-write list, both empty

  canvas surface;
  window& win = OpenGraphics(surface, canvas::WIDTH, canvas::HEIGHT, 0, 60, 0);
  surface.SetBlend(BLEND_ALPHA);
  pixmap sheet = surface.MakePixmap(128, 192, 1, 4);
  image atlas = surface.MakeImage(8, 12, 256, 0);
  loadfont(surface, sheet, atlas);

  loadsource(m, codefilename(arglist()));
  con.printline(u"Executing program..");
  con.printline(u"");
  drawframe(surface, atlas, m, win);

  for (;;) {
    pause(TICKPAUSE_MS);
    steppass(m);
    // The frame shows this tick's moves but not its writes; it may end the program.
    drawframe(surface, atlas, m, win);
    if (runover(m)) break; // the last tick's writes are never applied
    applywrites(m);
  }

  con.printline(u"");
  con.printline(u"");
  con.printline(u"Execution complete.");
  con.promptline(u">");
  endprogram(0);
}

} // namespace

void runsequence(int argc, char** argv) {
  // No stream error is caught on the way: each one ends the program here with its text.
  try {
    run(argc, argv);
  } catch (const TRuntimeException& e) {
    runtimeerrorexit(e.error);
  }
}

} // namespace tarvex
