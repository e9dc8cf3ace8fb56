// The frame renderer: one picture of the interpreter's state (the code grid as text, every
// pointer as an arrow with its two register values above it, the pointer count). It only
// paints; presenting the picture and reading the user's keys belong to the host.
#pragma once

#include "display/canvas.h"

namespace tarvex {

struct machine;

// Paints the whole frame onto the back buffer with the glyphs of `atlas`. Leaves the colour
// white and the alpha 1.
void paintframe(canvas& surface, image& atlas, const machine& m);

} // namespace tarvex
