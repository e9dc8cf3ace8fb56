// Draws one studio frame into a PNG, for the README: a program run for some ticks, then shown
// with a breakpoint outlined and the inspect panel over a cell, as the paused window shows it.
//
//   studioshot SOURCE TICKS OUT.png HOVERX,HOVERY [BREAKX,BREAKY ...]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/picture.h"
#include "display/font.h"
#include "display/studioview.h"
#include "interp/loader.h"
#include "interp/tick.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"

namespace {

tarvex::cellpos cellarg(const char* text) {
  long long x = 0, y = 0;
  if (std::sscanf(text, "%lld,%lld", &x, &y) != 2) {
    std::fprintf(stderr, "studioshot: '%s' is no cell X,Y\n", text);
    std::exit(64);
  }
  return {x, y};
}

} // namespace

int main(int argc, char** argv) {
  using namespace tarvex;
  if (argc < 5) {
    std::fputs("usage: studioshot SOURCE TICKS OUT.png HOVERX,HOVERY [BREAKX,BREAKY ...]\n",
               stderr);
    return 64;
  }
  installstreamfactories();
  canvas surface;
  glyphfont font;
  if (!loadfont(font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"))) return 1;
  std::FILE* sink = std::fopen("/dev/null", "w");
  console con(stdin, sink);
  machine m(con);
  if (!loadsource(m, frombytes(argv[1]))) {
    std::fprintf(stderr, "studioshot: cannot open %s\n", argv[1]);
    return 1;
  }
  // The frame of the last tick shows its moves, not its writes.
  for (long t = 1, ticks = std::atol(argv[2]); t <= ticks; ++t) {
    tickoutcome outcome = steppass(m);
    if (t < ticks) endtick(m, outcome);
  }
  studioview view;
  view.hovering = true;
  view.hover = cellarg(argv[4]);
  for (int i = 5; i < argc; ++i)
    view.breakpoints.push_back(cellarg(argv[i]));
  view.status = u"Tarvex Application - paused - tick " + fromcstring(argv[2]) + u" - 128 ms";
  paintstudio(surface, font.atlas, m, view);
  pictureresult failed = writepng(argv[3], surface.pixels().data(), canvas::WIDTH, canvas::HEIGHT);
  if (failed) {
    std::fprintf(stderr, "studioshot: %s: %s\n", failed->path.c_str(), failed->reason.c_str());
    return 1;
  }
  return 0;
}
