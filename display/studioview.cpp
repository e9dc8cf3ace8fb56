// The studio view: for now the plain frame, and the cell under a canvas pixel.
#include "display/studioview.h"

#include "display/font.h"
#include "display/frame.h"

namespace tarvex {

cellpos cellat(const studioview& view, int px, int py) {
  auto fd = [](int64_t a, int64_t b) { return a / b - ((a % b != 0) && (a < 0) ? 1 : 0); };
  return {view.origin.x + fd(px, GLYPHWIDTH * view.zoom),
          view.origin.y + fd(py, GLYPHHEIGHT * view.zoom)};
}

void paintstudio(canvas& surface, image& atlas, const machine& m, const studioview&) {
  paintframe(surface, atlas, m);
}

} // namespace tarvex
