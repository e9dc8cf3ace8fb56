// Text and glyphs on the canvas as the frame draws them, shared by the plain frame and the
// studio's overlays. Inline, since the frame draws thousands of glyphs a frame.
#pragma once
#include <cstdint>

#include "display/canvas.h"
#include "display/font.h"
#include "runtime/text.h"

namespace tarvex::detail {

inline bool offsurface(const canvas& surface, int64_t x, int64_t y, int64_t width, int64_t height) {
  return x >= surface.width() || y >= surface.height() || x + width <= 0 || y + height <= 0;
}

inline void drawglyph(canvas& surface, const image& atlas, int code, int64_t x, int64_t y) {
  surface.DrawImageFrame(atlas, x, y, code);
}

// Pixel positions are worked out in 64 bits: a pointer far left of the margin would overflow
// 8 * x in 32.
inline void drawtextat(canvas& surface, const image& atlas, const Text& text, int64_t x,
                       int64_t y) {
  if (offsurface(surface, x, y, static_cast<int64_t>(text.size()) * GLYPHWIDTH, GLYPHHEIGHT))
    return;
  for (size_t i = 0; i < text.size(); ++i)
    drawglyph(surface, atlas, text[i], x + static_cast<int64_t>(i) * GLYPHWIDTH, y);
}

// The glyph of each direction's arrow.
inline int arrowof(int32_t dir) {
  switch (dir) {
  case 0: return '^';
  case 1: return 'v';
  case 2: return '<';
  case 3: return '>';
  default: return 'X';
  }
}

} // namespace tarvex::detail
