// The frame renderer, by golden frames of known states compared by hash, and codes that only
// the frame's own rules tell apart.
#include "display/frame.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "display/font.h"
#include "display/studioview.h"
#include "interp/loader.h"
#include "runtime/memstream.h"
#include "runtime/streamnames.h"
#include "tests/support/painter.h"
#include "tests/support/pictures.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// A window-less display as start-up makes it, with the shipped font loaded, and an interpreter
// state built by hand: `count` copies of `line`, then pointers.
struct scene : testing::rig, testing::painter {
  explicit scene(int count = 0, const Text& line = u"") {
    m.grid.lines.assign(size_t(count), line);
    m.grid.linecount = count;
  }
  std::vector<uint32_t> paint() { return of(m); }
  std::vector<uint32_t> paint(const studioview& view) { return of(m, view); }
};

// A frame after another starts from the grid the last one drew when nothing under it changed;
// a changed character, line, drawing state or font each paints the grid afresh.
TEST(paintframe, a_frame_after_another_is_the_frame_painted_afresh) {
  const std::function<void(scene&)> changes[] = {
      [](scene& s) { s.m.grid.lines[1][1] = u'X'; },
      [](scene& s) { s.m.grid.lines[2] += u"d"; },
      [](scene& s) { s.surface.SetAlpha(0.5f); },
      [](scene& s) {
        TMemoryStream stripes(std::string(FONTFILESIZE, '\x5a'));
        loadfont(s.font, stripes);
      },
  };
  for (const auto& change : changes) {
    scene again(3, u"abc "), fresh(3, u"abc ");
    std::vector<uint32_t> before = again.paint();
    change(again), change(fresh);
    std::vector<uint32_t> repainted = again.paint();
    EXPECT_EQ(repainted, fresh.paint());
    EXPECT_NE(repainted, before);
  }
}

// Lines 0 to 43 of 95 columns, so line 42 and column 90 show only where the frame must stop.
struct crowded : scene {
  crowded() : scene(44, Text(95, u' ')) {
    for (int l = 0; l < 44; ++l)
      for (int c = 0; c < 95; ++c)
        m.grid.lines[size_t(l)][size_t(c)] = char16_t((l * 95 + c) % 256);
    // x, y, direction, registers, current register. Some share a cell, some stand where no
    // cell or value is drawn, one has a direction no instruction gives.
    const int32_t pointers[][6] = {{0, 3, 0, 255, 0, 1},    {1, 3, 1, 128, 64, 0},
                                   {10, 10, 2, 10, 20, 0},  {10, 10, 3, 30, 40, 1},
                                   {10, 12, 7, 99, 100, 0}, {89, 41, 0, 1, 2, 0},
                                   {90, 20, 0, 1, 2, 0},    {40, 42, 0, 1, 2, 0},
                                   {20, 0, 1, 123, 45, 1},  {30, 1, 2, 67, 89, 0}};
    for (const auto& p : pointers)
      put(testing::at(p[0], p[1], p[2], uint8_t(p[3]), uint8_t(p[4]))).on = uint8_t(p[5]);
  }
};

// The frame of a splitting program after six ticks is pinned through the program's own
// pictures, in picture_test.
TEST(goldenframe, a_hand_built_state_with_every_code) {
  crowded s;
  testing::expectgolden(s.paint(), canvas::WIDTH, "every_code_crowded_pointers");
}

// The view scrolled by (dx, dy) shows what the plain frame of the cells and pointers moved by
// (1 - dx, -dy) shows one column to the right, and zoomed, each of those pixels above the
// pointer count as a zoom × zoom square, whose corners show it: an origin off by one in
// either direction shows, and so does a pointer at column -2 of the view whose values reach
// into it.
TEST(paintstudio, a_moved_view_shows_what_the_plain_frame_shows_of_moved_cells) {
  const int rows[][3] = {{2, 0, 1}, {0, 1, 1}, {5, 3, 1}, {-2, -1, 1},
                         {0, 0, 2}, {4, 2, 3}, {-1, 5, 4}};
  for (const auto& [dx, dy, zoom] : rows) {
    crowded a;
    scene b(std::max(-dy, 0));
    for (size_t l = size_t(std::max(dy, 0)); l < a.m.grid.lines.size(); ++l) {
      const Text& line = a.m.grid.lines[l];
      b.m.grid.lines.push_back(dx > 0 ? line.substr(size_t(dx - 1))
                                      : Text(size_t(1 - dx), u' ') + line);
    }
    b.m.grid.linecount = int64_t(b.m.grid.lines.size());
    a.m.ips.each([&, dx = dx, dy = dy](const ip& p) {
      ip& moved = b.put(p);
      moved.x -= dx - 1, moved.y -= dy;
    });
    studioview view;
    view.origin = {dx, dy}, view.zoom = zoom;
    a.paint(view);
    b.paint();
    int differ = 0;
    for (int j = 0; zoom * (j + 1) <= canvas::HEIGHT - GLYPHHEIGHT; ++j)
      for (int i = 0; zoom * (i + 1) <= canvas::WIDTH && i + GLYPHWIDTH < canvas::WIDTH; ++i)
        for (int corner : {0, zoom - 1})
          differ += a.surface.pixel(zoom * i + corner, zoom * j + corner) !=
                    b.surface.pixel(i + GLYPHWIDTH, j);
    EXPECT_EQ(differ, 0) << dx << "," << dy << " zoom " << zoom;
  }
}

// However the view is scrolled and zoomed, each mark stands on the cell under the pixel the user
// points at: the breakpoint and the rings of the selected and the next pointer cover the cell's
// pixels and reach at most 3 pixels past them; the hover panel starts at the cell's top, just
// right of it.
TEST(paintstudio, marks_stand_on_the_cell_under_the_mouse_in_a_moved_view) {
  // The bounds (left, top, right, bottom) of the canvas pixels `in` holds.
  const auto bounds = [](const std::function<bool(int, int)>& in) {
    std::array<int, 4> b{canvas::WIDTH, canvas::HEIGHT, -1, -1};
    for (int y = 0; y < canvas::HEIGHT; ++y)
      for (int x = 0; x < canvas::WIDTH; ++x)
        if (in(x, y))
          b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
    return b;
  };
  const int rows[][5] = {{3, 2, 1, 300, 200}, {0, 0, 2, 301, 203}, {-2, 5, 3, 250, 130}};
  for (const auto& [ox, oy, zoom, px, py] : rows) {
    studioview view;
    view.origin = {ox, oy}, view.zoom = zoom;
    const cellpos cell = cellat(view, px, py);
    const auto [left, top, right, bottom] =
        bounds([&](int x, int y) { return cellat(view, x, y) == cell; });
    crowded s;
    ip& p = s.put(testing::at(int32_t(cell.x), int32_t(cell.y), 0));
    p.id = 1000;
    const std::vector<uint32_t> plain = s.paint(view);
    const auto marked = [&](const std::function<void(studioview&)>& mark) {
      studioview with = view;
      mark(with);
      s.paint(with);
      return bounds([&](int x, int y) {
        return s.surface.pixel(x, y) != plain[size_t(y * canvas::WIDTH + x)];
      });
    };
    const std::function<void(studioview&)> onthecell[] = {
        [&](studioview& v) { v.breakpoints = {cell}; },
        [&](studioview& v) { v.selected = p.id; },
        [&](studioview& v) { v.upcoming = &p; },
    };
    for (const auto& mark : onthecell) {
      const auto [l, t, r, b] = marked(mark);
      EXPECT_TRUE(l <= left && t <= top && r >= right && b >= bottom) << zoom;
      EXPECT_TRUE(l >= left - 3 && t >= top - 3 && r <= right + 3 && b <= bottom + 3) << zoom;
    }
    const auto [l, t, r, b] = marked([&](studioview& v) { v.hovering = true, v.hover = cell; });
    EXPECT_EQ(t, top) << zoom;
    EXPECT_TRUE(l > right && l <= right + 8) << zoom << ": " << l << " after " << right;
  }
}

TEST(cellat, floors_pixels_to_cells_from_the_origin_at_every_zoom) {
  // The origin, the zoom, the pixel, the cell under it.
  const int rows[][7] = {{0, 0, 1, 7, 11, 0, 0},       {0, 0, 1, 8, 12, 1, 1},
                         {0, 0, 1, -1, -1, -1, -1},    {0, 0, 1, -8, -13, -1, -2},
                         {-5, -3, 2, 15, 23, -5, -3},  {-5, -3, 2, 16, 24, -4, -2},
                         {-5, -3, 3, -1, -37, -6, -5}, {10, 20, 4, 719, 511, 32, 30}};
  for (const auto& r : rows) {
    studioview view;
    view.origin = {r[0], r[1]}, view.zoom = r[2];
    cellpos cell = cellat(view, r[3], r[4]);
    EXPECT_EQ(cell, (cellpos{r[5], r[6]}))
        << r[2] << " " << r[3] << "," << r[4] << ": " << cell.x << "," << cell.y;
  }
}

} // namespace
} // namespace tarvex
