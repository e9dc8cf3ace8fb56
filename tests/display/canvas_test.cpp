// The canvas: fills and glyphs cut at every border, and the rounding of alpha blending.
#include "display/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tarvex {
namespace {

// Rectangles ('r': x, y, width, height) and frames of a box glyph ('g': x, y, frame) drawn in
// white on a blue 4 × 3 canvas, as rows of '#' (white), '.' (black) and 'b' (untouched). Frame
// 1 is the box: ink on its outer columns and its first and last rows, black inside.
TEST(canvas, rectangles_and_glyphs_are_cut_to_the_canvas) {
  image atlas;
  atlas.rows[1].fill(0x81);
  atlas.rows[1][0] = atlas.rows[1][11] = 0xFF;
  const std::tuple<char, int64_t, int64_t, int64_t, int64_t, const char*> rows[] = {
      {'r', 0, 0, 4, 3, "####|####|####"},
      {'r', -2, -1, 3, 2, "#bbb|bbbb|bbbb"},
      {'r', 3, 2, 5, 5, "bbbb|bbbb|bbb#"},
      {'r', 1, 1, 0, 2, "bbbb|bbbb|bbbb"},
      {'r', 1, 1, -2, 2, "bbbb|bbbb|bbbb"},
      {'r', 4, 0, 1, 3, "bbbb|bbbb|bbbb"},
      {'r', INT64_MAX - 1, 0, 10, 1, "bbbb|bbbb|bbbb"},
      {'r', -5, 1, INT64_MAX, 1, "bbbb|####|bbbb"},
      {'r', INT64_MIN, 0, INT64_MAX, 3, "bbbb|bbbb|bbbb"},
      {'g', 0, 0, 1, 0, "####|#...|#..."},
      {'g', -4, -9, 1, 0, "...#|...#|####"},
      {'g', 3, 2, 1, 0, "bbbb|bbbb|bbb#"},
      {'g', -7, 1, 257, 0, "bbbb|#bbb|#bbb"},
      {'g', 4, 0, 1, 0, "bbbb|bbbb|bbbb"},
      {'g', -8, 0, 1, 0, "bbbb|bbbb|bbbb"},
      {'g', 0, -12, 1, 0, "bbbb|bbbb|bbbb"},
      {'g', INT64_MIN, INT64_MAX, 1, 0, "bbbb|bbbb|bbbb"},
      {'g', 0, 0, 2, 0, "....|....|...."},
  };
  for (const auto& [kind, x, y, a, b, picture] : rows) {
    canvas surface(4, 3);
    surface.SetColor(0, 0, 255);
    surface.DrawRect(0, 0, 4, 3);
    surface.SetColor(255, 255, 255);
    if (kind == 'r') surface.DrawRect(x, y, a, b);
    if (kind == 'g') surface.DrawImageFrame(atlas, x, y, int(a));
    std::string drawn;
    for (int py = 0; py < 3; ++py, drawn += py < 3 ? "|" : "")
      for (int px = 0; px < 4; ++px) {
        uint32_t p = surface.pixel(px, py);
        drawn += p == 0xFFFFFF ? '#' : p == 0 ? '.' : p == 0x0000FF ? 'b' : '?';
      }
    EXPECT_EQ(drawn, picture) << kind << " " << x << "," << y << " " << a << "," << b;
  }
}

// Each channel is drawn × a + old × (255 − a), divided by 255 to the nearest; alpha is
// floor(clamp(alpha) × 255) and colours are clamped. Glyphs blended with their black
// background, as the frame draws the registers' values, are pinned by the golden frames.
TEST(canvas, blending_rounds_each_channel_to_the_nearest) {
  const std::tuple<uint32_t, int, int, int, float, uint32_t> rows[] = {
      {0x000000, 255, 255, 255, 0.5f, 0x7F7F7F}, {0xFFFFFF, 0, 0, 0, 0.5f, 0x808080},
      {0x010101, 0, 0, 0, 0.5f, 0x010101},       {0x000000, 1, 1, 1, 0.5f, 0x000000},
      {0x102030, 300, -5, 128, 1.0f, 0xFF0080},  {0x102030, 255, 255, 255, NAN, 0x102030},
      {0x102030, 0, 0, 0, -1.0f, 0x102030},      {0x102030, 0, 0, 0, 7.0f, 0x000000},
      {0x000000, 200, 100, 1, 0.25f, 0x311900},
  };
  for (const auto& [old, r, g, b, alpha, blended] : rows) {
    canvas surface(1, 1);
    surface.SetColor(int(old >> 16), int(old >> 8 & 0xFF), int(old & 0xFF));
    surface.DrawRect(0, 0, 1, 1);
    surface.SetColor(r, g, b);
    surface.SetAlpha(alpha);
    surface.DrawRect(0, 0, 1, 1);
    EXPECT_EQ(surface.pixel(0, 0), blended) << std::hex << old << " alpha " << alpha;
  }
}

} // namespace
} // namespace tarvex
