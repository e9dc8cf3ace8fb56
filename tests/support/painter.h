// The shipped font and a canvas of their own, to paint the frames tests compare: of a session
// as its view shows it, or of a machine, plain or through a view.
#pragma once
#include <cstdint>
#include <vector>

#include "display/font.h"
#include "display/frame.h"
#include "display/studioview.h"
#include "session/session.h"

namespace tarvex::testing {

struct painter {
  painter() { loadfont(font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit")); }
  std::vector<uint32_t> of(const session& run) {
    run.paint(surface, font.atlas);
    return surface.pixels();
  }
  std::vector<uint32_t> of(const machine& m) {
    paintframe(surface, font.atlas, m);
    return surface.pixels();
  }
  std::vector<uint32_t> of(const machine& m, const studioview& view) {
    paintstudio(surface, font.atlas, m, view);
    return surface.pixels();
  }
  canvas surface;
  glyphfont font;
};

} // namespace tarvex::testing
