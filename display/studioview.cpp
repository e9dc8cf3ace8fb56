// The studio's frame: the plain frame scrolled and zoomed, then the marks and panels the view
// asks for, drawn in canvas pixels over the zoomed picture so they line up with its cells.
#include "display/studioview.h"

#include <algorithm>
#include <limits>
#include <string>

#include "display/font.h"
#include "display/frame.h"
#include "display/glyphs.h"
#include "interp/machine.h"

namespace tarvex {

namespace {

using namespace detail; // the glyph helpers both frames draw with

constexpr size_t HOVERLINES = 20; // pointer lines in the hover panel before "+N more"
constexpr int PADDING = 4;        // between a panel's edge and its text
constexpr int GAP = 4;            // between the hovered cell and its panel

struct colour {
  int red, green, blue;
};
constexpr colour BREAKPOINT{0, 224, 255};
constexpr colour UPCOMING{255, 216, 0};
constexpr colour SELECTED{64, 255, 96};
constexpr colour CURSOR{255, 96, 255};
constexpr colour PANELEDGE{96, 128, 176};
constexpr colour HEADING{255, 240, 192};
constexpr colour BODY{224, 224, 224};
constexpr colour FAINT{150, 150, 150};
constexpr colour STATUS{255, 208, 96};
constexpr colour BLACK{0, 0, 0};

int zoomof(const studioview& view) {
  return std::clamp(view.zoom, 1, 4);
}

// Rounds toward minus infinity, so the pixels left of and above the canvas belong to the cells
// there rather than to column or line 0 of the view.
int64_t floordiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// A cell's column or line counted from the origin's, held where every later product fits in 64
// bits; anything held lies far off the canvas either way.
int64_t fromorigin(int64_t cell, int64_t origin) {
  int64_t d = 0;
  if (__builtin_sub_overflow(cell, origin, &d)) return cell < origin ? -FARTHEST : FARTHEST;
  return std::clamp(d, -FARTHEST, FARTHEST);
}

// However far the host scrolls, a cell near the edge of the numbers saturates rather than wraps.
int64_t saturatedsum(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum))
    return b < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  return sum;
}

// A rectangle in canvas pixels.
struct box {
  int64_t x, y, w, h;
  box grown(int64_t by) const { return {x - by, y - by, w + 2 * by, h + 2 * by}; }
};

box cellbox(const studioview& view, int64_t x, int64_t y) {
  int64_t zoom = zoomof(view);
  return {fromorigin(x, view.origin.x) * GLYPHWIDTH * zoom,
          fromorigin(y, view.origin.y) * GLYPHHEIGHT * zoom, GLYPHWIDTH * zoom, GLYPHHEIGHT * zoom};
}

void fill(canvas& surface, box b, colour c) {
  surface.SetColor(c.red, c.green, c.blue);
  surface.DrawRect(b.x, b.y, b.w, b.h);
}

// A frame `thickness` pixels wide just inside the box.
void outline(canvas& surface, box b, int64_t thickness, colour c) {
  int64_t t = thickness;
  fill(surface, {b.x, b.y, b.w, t}, c);
  fill(surface, {b.x, b.y + b.h - t, b.w, t}, c);
  fill(surface, {b.x, b.y + t, t, b.h - 2 * t}, c);
  fill(surface, {b.x + b.w - t, b.y + t, t, b.h - 2 * t}, c);
}

// Every frame pixel as a zoom × zoom square, the picture's top left staying where it is. The
// rows and columns the last squares cut off are read too, so the canvas fills at zoom 3.
void magnify(canvas& surface, int zoom) {
  const size_t width = static_cast<size_t>(surface.width());
  const size_t height = static_cast<size_t>(surface.height()), z = static_cast<size_t>(zoom);
  static thread_local std::vector<uint32_t> scaled;
  scaled.resize(width * height);
  const std::vector<uint32_t>& source = surface.pixels();
  for (size_t y = 0; y < height; ++y)
    for (size_t x = 0; x < width; ++x)
      scaled[y * width + x] = source[y / z * width + x / z];
  surface.setpixels(scaled);
}

struct panelline {
  Text text;
  colour c;
};

box panelsize(const std::vector<panelline>& lines) {
  size_t widest = 0;
  for (const panelline& line : lines)
    widest = std::max(widest, line.text.size());
  return {0, 0, static_cast<int64_t>(widest) * GLYPHWIDTH + 2 * PADDING,
          static_cast<int64_t>(lines.size()) * GLYPHHEIGHT + 2 * PADDING};
}

// Opaque black, as the glyph cells on it are, so the text reads the same on any picture.
void drawpanel(canvas& surface, const image& atlas, const std::vector<panelline>& lines, box at) {
  fill(surface, at, BLACK);
  outline(surface, at, 1, PANELEDGE);
  for (size_t i = 0; i < lines.size(); ++i) {
    surface.SetColor(lines[i].c.red, lines[i].c.green, lines[i].c.blue);
    drawtextat(surface, atlas, lines[i].text, at.x + PADDING,
               at.y + PADDING + static_cast<int64_t>(i) * GLYPHHEIGHT);
  }
}

// "#id dir val0 val1 str rem hold", the current register in brackets.
Text describe(const ip& p) {
  int current = p.on != 0 ? 1 : 0;
  std::string values[2] = {std::to_string(p.val[0]), std::to_string(p.val[1])};
  values[current] = "[" + values[current] + "]";
  return frombytes("#" + std::to_string(p.id) + " " + static_cast<char>(arrowof(p.dir)) + " " +
                   values[0] + " " + values[1] + " str " + (p.printing != 0 ? "on" : "off") +
                   " rem " + (p.remafter != 0 ? "on" : "off") + " hold " + std::to_string(p.wait));
}

std::vector<panelline> hoverlines(const machine& m, cellpos cell) {
  // readcell trusts the line count; a grid built by hand may store fewer lines.
  bool stored = cell.y >= 0 && cell.y < static_cast<int64_t>(m.grid.lines.size());
  uint8_t code = stored ? readcell(m.grid, cell.x, cell.y) : uint8_t{32};
  std::vector<panelline> lines;
  lines.push_back(
      {frombytes("cell (" + std::to_string(cell.x) + "," + std::to_string(cell.y) + ") '") +
           char16_t{code} + frombytes("' code " + std::to_string(code)),
       HEADING});
  int64_t more = 0;
  m.ips.each([&](const ip& p) {
    if (p.x != cell.x || p.y != cell.y) return;
    if (lines.size() <= HOVERLINES)
      lines.push_back({describe(p), BODY});
    else
      ++more;
  });
  if (more > 0) lines.push_back({frombytes("+" + std::to_string(more) + " more"), FAINT});
  return lines;
}

// Beside the cell when there is room on either side, else below or above it, and wholly on
// the canvas whenever it fits, wherever the cell is.
box placehover(const canvas& surface, box cell, box panel) {
  int64_t width = surface.width(), height = surface.height();
  int64_t right = cell.x + cell.w + GAP, left = cell.x - GAP - panel.w;
  int64_t below = cell.y + cell.h + GAP, above = cell.y - GAP - panel.h;
  int64_t x = cell.x, y = cell.y;
  if (right + panel.w <= width)
    x = right;
  else if (left >= 0)
    x = left;
  else
    y = below + panel.h <= height || above < 0 ? below : above;
  auto within = [](int64_t at, int64_t size, int64_t room) {
    return std::max<int64_t>(0, std::min(at, room - size));
  };
  return {within(x, panel.w, width), within(y, panel.h, height), panel.w, panel.h};
}

} // namespace

cellpos cellat(const studioview& view, int px, int py) {
  int64_t zoom = zoomof(view);
  return {saturatedsum(view.origin.x, floordiv(px, GLYPHWIDTH * zoom)),
          saturatedsum(view.origin.y, floordiv(py, GLYPHHEIGHT * zoom))};
}

void paintstudio(canvas& surface, const image& atlas, const machine& m, const studioview& view) {
  paintframe(surface, atlas, m, view.origin.x, view.origin.y);
  int zoom = zoomof(view);
  if (zoom > 1) {
    magnify(surface, zoom);
    // Zooming leaves the count below the canvas; it comes back at its own size, on a strip
    // that keeps the zoomed cells behind it from showing through.
    fill(surface, {0, surface.height() - GLYPHHEIGHT, surface.width(), GLYPHHEIGHT}, BLACK);
    paintpointercount(surface, atlas, m);
  }

  // Inside the cell for breakpoints, rings outside it for pointers, so all three show when
  // they fall on one cell. The frame left the alpha at 1, so every mark is opaque.
  for (const cellpos& cell : view.breakpoints)
    outline(surface, cellbox(view, cell.x, cell.y), 1, BREAKPOINT);
  if (view.selected >= 0)
    m.ips.each([&](const ip& p) {
      if (p.id == view.selected) outline(surface, cellbox(view, p.x, p.y).grown(1), 1, SELECTED);
    });
  if (view.upcoming != nullptr)
    outline(surface, cellbox(view, view.upcoming->x, view.upcoming->y).grown(3), 2, UPCOMING);
  if (view.typing) {
    // A bar under the cell, as a text cursor: the outlines around it stay readable.
    const box cell = cellbox(view, view.cursor.x, view.cursor.y);
    const int64_t bar = 2 * zoom;
    fill(surface, {cell.x, cell.y + cell.h - bar, cell.w, bar}, CURSOR);
  }

  if (view.hovering) {
    std::vector<panelline> lines = hoverlines(m, view.hover);
    drawpanel(surface, atlas, lines,
              placehover(surface, cellbox(view, view.hover.x, view.hover.y), panelsize(lines)));
  }
  if (!view.help.empty()) {
    std::vector<panelline> lines;
    for (const Text& text : view.help)
      lines.push_back({text, BODY});
    box size = panelsize(lines);
    drawpanel(surface, atlas, lines,
              {std::max<int64_t>(0, (surface.width() - size.w) / 2),
               std::max<int64_t>(0, (surface.height() - size.h) / 2), size.w, size.h});
  }
  if (!view.status.empty()) {
    fill(surface, {0, 0, surface.width(), GLYPHHEIGHT + 2}, BLACK);
    fill(surface, {0, GLYPHHEIGHT + 2, surface.width(), 1}, PANELEDGE);
    surface.SetColor(STATUS.red, STATUS.green, STATUS.blue);
    drawtextat(surface, atlas, view.status, GLYPHWIDTH / 2, 1);
  }
  surface.SetColor(255, 255, 255);
}

} // namespace tarvex
