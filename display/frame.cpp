// The frame renderer: the code grid, the pointers and their registers, the pointer count.
#include "display/frame.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "display/font.h"
#include "display/glyphs.h"
#include "interp/machine.h"
#include "runtime/numtext.h"

namespace tarvex {

namespace {

using namespace detail; // the glyph helpers both frames draw with

constexpr int32_t COLUMNS = visiblecolumns();
constexpr int32_t LINES = visiblelines();

// A register's decimal digits, as drawtextat draws decimaltext(value), without the text.
void drawvalue(canvas& surface, const image& atlas, uint8_t value, int64_t x, int64_t y) {
  int digits[3], count = 0;
  do {
    digits[count++] = value % 10;
    value = static_cast<uint8_t>(value / 10);
  } while (value != 0);
  if (offsurface(surface, x, y, int64_t{count} * GLYPHWIDTH, GLYPHHEIGHT)) return;
  for (int i = 0; i < count; ++i)
    drawglyph(surface, atlas, '0' + digits[count - 1 - i], x + int64_t{i} * GLYPHWIDTH, y);
}

// The plain frame's origin has a type of its own, so its copy of the painter folds the zero
// away: the walk over a long pointer list costs what it did before views could scroll.
struct zeroorigin {
  static constexpr int32_t x = 0, y = 0;
};
struct cellorigin {
  int64_t x, y; // within FARTHEST, so adding a column or line to it cannot overflow
};

// Pointers from column 90 or line 42 on get neither a cell nor values; those far up or left
// still get them, cut off by the window's edges. Left of column -2 or above line 0 nothing of
// a pointer reaches the window (its values are at most three glyphs wide and stand above it).
// Columns and lines count from the origin: in 32 bits for the plain frame, as cheap as the
// pointer's own place, and in 64 for a scrolled one.
template <class Origin> bool shown(const ip& p, Origin origin) {
  return (p.x - origin.x) < COLUMNS && (p.y - origin.y) < LINES && (p.x - origin.x) > -3 &&
         (p.y - origin.y) >= 0;
}

// The cleared canvas with the grid drawn, kept from the last frame: most ticks change no
// character in view, so a frame copies the layer instead of drawing some 3,900 glyphs again.
// It is used only when everything the glyphs' pixels depend on is the same: the characters in
// view, where they stand, the font's pictures, the drawing state and the canvas's size.
struct gridlayer {
  uint64_t fontversion = 0;
  uint32_t state = 0;
  int64_t ox = 0, oy = 0;
  std::vector<char16_t> cells;  // the characters in view, each line's followed by its count
  std::vector<uint32_t> pixels; // the canvas after the grid was drawn
};

template <class Origin>
void paintat(canvas& surface, const image& atlas, const machine& m, Origin origin) {
  const int64_t ox = origin.x, oy = origin.y;
  // Line 42 is drawn too, though only its top 8 pixel rows fall inside the window.
  surface.SetColor(255, 240, 192);
  static thread_local gridlayer layer;
  static thread_local std::vector<char16_t> cells;
  cells.clear();
  const int64_t stored = static_cast<int64_t>(m.grid.lines.size());
  const int64_t top = std::max<int64_t>(0, -oy);
  // Column 0 is the margin, so the first stored character is column 1.
  const int64_t first = std::max<int64_t>(0, 1 - ox);
  auto lastcolumn = [&](const Text& line) {
    return std::min<int64_t>(static_cast<int64_t>(line.size()) - ox, COLUMNS);
  };
  for (int64_t l = top; l <= LINES && oy + l < m.grid.linecount && oy + l < stored; ++l) {
    const Text& line = m.grid.lines[static_cast<size_t>(oy + l)];
    const int64_t last = lastcolumn(line);
    if (last >= first)
      cells.insert(cells.end(), line.begin() + static_cast<std::ptrdiff_t>(ox + first - 1),
                   line.begin() + static_cast<std::ptrdiff_t>(ox + last));
    cells.push_back(static_cast<char16_t>(std::max<int64_t>(last - first + 1, 0)));
  }
  if (layer.fontversion == atlas.version && layer.state == surface.statekey() && layer.ox == ox &&
      layer.oy == oy && layer.cells == cells && layer.pixels.size() == surface.pixels().size()) {
    surface.setpixels(layer.pixels);
  } else {
    const uint32_t state = surface.statekey();
    surface.Cls();
    const char16_t* cell = cells.data();
    for (int64_t l = top; l <= LINES && oy + l < m.grid.linecount && oy + l < stored; ++l) {
      const int64_t last = lastcolumn(m.grid.lines[static_cast<size_t>(oy + l)]);
      for (int64_t c = first; c <= last; ++c)
        drawglyph(surface, atlas, *cell++, GLYPHWIDTH * c, GLYPHHEIGHT * l);
      ++cell; // the line's count
    }
    layer = {atlas.version, state, ox, oy, cells, surface.pixels()};
  }

  // One walk over the list finds the few pointers in view, however long the list; the two
  // drawing passes then go over those alone, in list order.
  static thread_local std::vector<const ip*> inview;
  inview.clear();
  m.ips.each([&](const ip& p) {
    if (shown(p, origin)) inview.push_back(&p);
  });

  // The arrow is drawn opaque over the translucent block, so the cell ends up as the arrow on
  // black and hides the grid character under the pointer.
  surface.SetColor(192, 12, 0);
  for (const ip* p : inview) {
    int64_t px = GLYPHWIDTH * (p->x - ox), py = GLYPHHEIGHT * (p->y - oy);
    surface.SetAlpha(0.5f);
    surface.DrawRect(px, py, GLYPHWIDTH, GLYPHHEIGHT);
    surface.SetAlpha(1.0f);
    drawglyph(surface, atlas, arrowof(p->dir), px, py);
  }

  // A second pass, so values stand over every pointer cell, the current register two lines
  // above the pointer and the other one line above.
  surface.SetAlpha(0.5f);
  for (const ip* p : inview) {
    int64_t px = GLYPHWIDTH * (p->x - ox), py = GLYPHHEIGHT * (p->y - oy);
    int current = p->on != 0 ? 1 : 0;
    surface.SetColor(255, 0, 0);
    drawvalue(surface, atlas, p->val[current], px, py - 2 * GLYPHHEIGHT);
    surface.SetColor(132, 0, 0);
    drawvalue(surface, atlas, p->val[1 - current], px, py - GLYPHHEIGHT);
  }

  paintpointercount(surface, atlas, m);
}

} // namespace

void paintframe(canvas& surface, const image& atlas, const machine& m) {
  paintat(surface, atlas, m, zeroorigin{});
}

void paintframe(canvas& surface, const image& atlas, const machine& m, int64_t originx,
                int64_t originy) {
  paintat(surface, atlas, m,
          cellorigin{std::clamp(originx, -FARTHEST, FARTHEST),
                     std::clamp(originy, -FARTHEST, FARTHEST)});
}

void paintpointercount(canvas& surface, const image& atlas, const machine& m) {
  surface.SetAlpha(1.0f);
  surface.SetColor(255, 255, 255);
  drawtextat(surface, atlas, u" Pointers: " + decimaltext(static_cast<int32_t>(m.ips.count())), 0,
             canvas::HEIGHT - GLYPHHEIGHT);
}

} // namespace tarvex
