// The frame renderer: the code grid, the pointers and their registers, the pointer count.
#include "display/frame.h"

#include <algorithm>

#include "display/font.h"
#include "interp/machine.h"
#include "runtime/numtext.h"

namespace tarvex {

namespace {

// The window's size, from which the visible lines and columns follow.
constexpr int32_t WINDOWWIDTH = canvas::WIDTH;
constexpr int32_t WINDOWHEIGHT = canvas::HEIGHT;
constexpr int32_t COLUMNS = WINDOWWIDTH / GLYPHWIDTH; // 90
constexpr int32_t LINES = WINDOWHEIGHT / GLYPHHEIGHT; // 42

bool offsurface(const canvas& surface, int64_t x, int64_t y, int64_t width, int64_t height) {
  return x >= surface.width() || y >= surface.height() || x + width <= 0 || y + height <= 0;
}

// Pixel positions are worked out in 64 bits: a pointer far left of the margin would overflow
// 8 * x in 32. Glyphs that lie wholly off the surface are left out, which changes no pixel and
// keeps far-off positions away from the canvas's float arithmetic.
void drawtextat(canvas& surface, image& atlas, const Text& text, int64_t x, int64_t y) {
  if (offsurface(surface, x, y, static_cast<int64_t>(text.size()) * GLYPHWIDTH, GLYPHHEIGHT))
    return;
  for (size_t i = 0; i < text.size(); ++i) {
    int64_t left = x + static_cast<int64_t>(i) * GLYPHWIDTH;
    if (offsurface(surface, left, y, GLYPHWIDTH, GLYPHHEIGHT)) continue;
    surface.DrawImageFrame(atlas, static_cast<float>(left), static_cast<float>(y), text[i] & 0xFF);
  }
}

const char16_t* arrowof(int32_t dir) {
  switch (dir) {
  case 0: return u"^";
  case 1: return u"v";
  case 2: return u"<";
  case 3: return u">";
  default: return u"X";
  }
}

// Pointers from column 90 or line 42 on get neither a cell nor values; those far up or left
// still get them, cut off by the window's edges.
bool shown(const ip& p) {
  return p.x < COLUMNS && p.y < LINES;
}

} // namespace

void paintframe(canvas& surface, image& atlas, const machine& m) {
  surface.Cls();

  // Line 42 is drawn too, though only its top 8 pixel rows fall inside the window.
  surface.SetColor(255, 240, 192);
  int64_t stored = static_cast<int64_t>(m.grid.lines.size());
  for (int64_t l = 0; l <= LINES && l < m.grid.linecount && l < stored; ++l) {
    const Text& line = m.grid.lines[static_cast<size_t>(l)];
    int64_t last = std::min<int64_t>(static_cast<int64_t>(line.size()), COLUMNS);
    for (int64_t c = 1; c <= last; ++c)
      drawtextat(surface, atlas, Text(1, line[static_cast<size_t>(c - 1)]), GLYPHWIDTH * c,
                 GLYPHHEIGHT * l);
  }

  // The arrow is drawn opaque over the translucent block, so the cell ends up as the arrow on
  // black and hides the grid character under the pointer.
  surface.SetColor(192, 12, 0);
  m.ips.each([&](const ip& p) {
    if (!shown(p)) return;
    int64_t px = int64_t{GLYPHWIDTH} * p.x, py = int64_t{GLYPHHEIGHT} * p.y;
    surface.SetAlpha(0.5f);
    if (!offsurface(surface, px, py, GLYPHWIDTH, GLYPHHEIGHT))
      surface.DrawRect(static_cast<float>(px), static_cast<float>(py), GLYPHWIDTH, GLYPHHEIGHT);
    surface.SetAlpha(1.0f);
    drawtextat(surface, atlas, arrowof(p.dir), px, py);
  });

  // A second pass, so values stand over every pointer cell, the current register two lines
  // above the pointer and the other one line above.
  surface.SetAlpha(0.5f);
  m.ips.each([&](const ip& p) {
    if (!shown(p)) return;
    int64_t px = int64_t{GLYPHWIDTH} * p.x, py = int64_t{GLYPHHEIGHT} * p.y;
    int current = p.on != 0 ? 1 : 0;
    surface.SetColor(255, 0, 0);
    drawtextat(surface, atlas, decimaltext(p.val[current]), px, py - 2 * GLYPHHEIGHT);
    surface.SetColor(132, 0, 0);
    drawtextat(surface, atlas, decimaltext(p.val[1 - current]), px, py - GLYPHHEIGHT);
  });

  surface.SetAlpha(1.0f);
  surface.SetColor(255, 255, 255);
  drawtextat(surface, atlas, u" Pointers: " + decimaltext(static_cast<int32_t>(m.ips.count())), 0,
             WINDOWHEIGHT - GLYPHHEIGHT);
}

} // namespace tarvex
