// The frame renderer: one picture of the interpreter's state (the code grid as text, every
// pointer as an arrow with its two register values above it, the pointer count). It only
// paints; presenting the picture and reading the user's keys belong to the host.
#pragma once

#include <cstdint>

#include "display/canvas.h"

namespace tarvex {

struct machine;

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
