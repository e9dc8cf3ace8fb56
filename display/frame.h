// The frame renderer: one picture of the interpreter's state (the code grid as text, every
// pointer as an arrow with its two register values above it, the pointer count). It only
// paints; presenting the picture and reading the user's keys belong to the host.
#pragma once

#include <cstdint>

#include "display/canvas.h"

namespace tarvex {

struct machine;

// The whole cells a frame shows across and down when each pixel is shown zoom × zoom times:
// 90 by 42 at zoom 1 (the frame also draws the top of line 42, which the bottom edge cuts).
constexpr int32_t visiblecolumns(int zoom = 1) {
  return canvas::WIDTH / (image::WIDTH * zoom);
}
constexpr int32_t visiblelines(int zoom = 1) {
  return canvas::HEIGHT / (image::HEIGHT * zoom);
}

// Nothing a program can hold lies this far out (pointers are 32-bit, lines live in memory):
// a cell this far from the origin is off the canvas at any zoom, and its pixel position
// cannot overflow.
constexpr int64_t FARTHEST = int64_t{1} << 40;

// Paints the whole frame onto the back buffer with the glyphs of `atlas`. Leaves the colour
// white and the alpha 1.
void paintframe(canvas& surface, const image& atlas, const machine& m);
// The same frame scrolled: cell (originx + c, originy + l) and the pointers on it stand where
// the frame above draws cell (c, l). The pointer count stays where it is.
void paintframe(canvas& surface, const image& atlas, const machine& m, int64_t originx,
                int64_t originy);
// The pointer count alone, where the frame puts it: the last thing the frame draws. Leaves the
// colour white and the alpha 1.
void paintpointercount(canvas& surface, const image& atlas, const machine& m);

} // namespace tarvex
