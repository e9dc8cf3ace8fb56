// The frame renderer: the code grid, the pointers and their registers, the pointer count.
#include "display/frame.h"

#include <algorithm>
#include <vector>

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

// The glyph of each direction's arrow.
int arrowof(int32_t dir) {
  switch (dir) {
  case 0: return '^';
  case 1: return 'v';
  case 2: return '<';
  case 3: return '>';
  default: return 'X';
  }
}

// One glyph, as drawtextat draws a text of one character.
void drawglyph(canvas& surface, image& atlas, int code, int64_t x, int64_t y) {
  if (offsurface(surface, x, y, GLYPHWIDTH, GLYPHHEIGHT)) return;
  surface.DrawImageFrame(atlas, static_cast<float>(x), static_cast<float>(y), code & 0xFF);
}

// A register's decimal digits, as drawtextat draws decimaltext(value), without the text.
void drawvalue(canvas& surface, image& atlas, uint8_t value, int64_t x, int64_t y) {
  int digits[3], count = 0;
  do {
    digits[count++] = value % 10;
    value = static_cast<uint8_t>(value / 10);
  } while (value != 0);
  if (offsurface(surface, x, y, int64_t{count} * GLYPHWIDTH, GLYPHHEIGHT)) return;
  for (int i = 0; i < count; ++i)
    drawglyph(surface, atlas, '0' + digits[count - 1 - i], x + int64_t{i} * GLYPHWIDTH, y);
}

// Pointers from column 90 or line 42 on get neither a cell nor values; those far up or left
// still get them, cut off by the window's edges. Left of column -2 or above line 0 nothing of
// a pointer reaches the window (its values are at most three glyphs wide and stand above it).
bool shown(const ip& p) {
  return p.x < COLUMNS && p.y < LINES && p.x > -3 && p.y >= 0;
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
      drawglyph(surface, atlas, line[static_cast<size_t>(c - 1)], GLYPHWIDTH * c, GLYPHHEIGHT * l);
  }

  // One walk over the list finds the few pointers in view, however long the list; the two
  // drawing passes then go over those alone, in list order.
  static thread_local std::vector<const ip*> inview;
  inview.clear();
  m.ips.each([&](const ip& p) {
    if (shown(p)) inview.push_back(&p);
  });

  // The arrow is drawn opaque over the translucent block, so the cell ends up as the arrow on
  // black and hides the grid character under the pointer.
  surface.SetColor(192, 12, 0);
  for (const ip* p : inview) {
    int64_t px = int64_t{GLYPHWIDTH} * p->x, py = int64_t{GLYPHHEIGHT} * p->y;
    surface.SetAlpha(0.5f);
    if (!offsurface(surface, px, py, GLYPHWIDTH, GLYPHHEIGHT))
      surface.DrawRect(static_cast<float>(px), static_cast<float>(py), GLYPHWIDTH, GLYPHHEIGHT);
    surface.SetAlpha(1.0f);
    drawglyph(surface, atlas, arrowof(p->dir), px, py);
  }

  // A second pass, so values stand over every pointer cell, the current register two lines
  // above the pointer and the other one line above.
  surface.SetAlpha(0.5f);
  for (const ip* p : inview) {
    int64_t px = int64_t{GLYPHWIDTH} * p->x, py = int64_t{GLYPHHEIGHT} * p->y;
    int current = p->on != 0 ? 1 : 0;
    surface.SetColor(255, 0, 0);
    drawvalue(surface, atlas, p->val[current], px, py - 2 * GLYPHHEIGHT);
    surface.SetColor(132, 0, 0);
    drawvalue(surface, atlas, p->val[1 - current], px, py - GLYPHHEIGHT);
  }

  surface.SetAlpha(1.0f);
  surface.SetColor(255, 255, 255);
  drawtextat(surface, atlas, u" Pointers: " + decimaltext(static_cast<int32_t>(m.ips.count())), 0,
             WINDOWHEIGHT - GLYPHHEIGHT);
}

} // namespace tarvex
