// The frame renderer: one picture of the interpreter's state (the code grid as text, every
// pointer as an arrow with its two register values above it, the pointer count), and the frame
// that also presents it and notices that the user wants to stop.
#pragma once
#include <cstdint>

#include "display/backend/canvas.h"
#include "runtime/text.h"

namespace tarvex {

struct machine;
class screen;

// Draws the text one glyph frame per character, 8 pixels apart, from the top-left corner
// (x, y), in the current colour, alpha and blend mode, none of which it changes. A code above
// 255 shows the glyph of its low byte.
void drawtext(canvas& surface, image& atlas, const Text& text, int32_t x, int32_t y);

// Paints the whole frame onto the back buffer. Leaves the colour white and the alpha 1.
void paintframe(canvas& surface, image& atlas, const machine& m);

// paintframe, then the stop test: Escape held down or a close request ends the program with
// status 0 before anything is presented; otherwise the frame is presented with pacing.
void drawframe(canvas& surface, image& atlas, const machine& m, screen& window);

} // namespace tarvex
