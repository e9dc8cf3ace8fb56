// The canvas: fills and glyphs cut at every border, and the rounding of alpha blending.
#include "display/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tarvex {
namespace {

constexpr uint32_t BLUE = 0x0000FF;

// A 4 × 3 canvas, blue, as rows of '#' (white), '.' (black) and 'b' (blue, untouched).
struct small {
  canvas surface{4, 3};
  small() {
    surface.SetColor(0, 0, 255);
    surface.DrawRect(0, 0, 4, 3);
    surface.SetColor(255, 255, 255);
  }
  std::string picture() const {
    std::string out;
    for (int y = 0; y < 3; ++y, out += y < 3 ? "|" : "")
      for (int x = 0; x < 4; ++x) {
        uint32_t p = surface.pixel(x, y);
        out += p == 0xFFFFFF ? '#' : p == 0 ? '.' : p == BLUE ? 'b' : '?';
      }
    return out;
  }
};

TEST(canvas, rectangles_are_cut_to_the_canvas) {
  struct row {
    int64_t x, y, w, h;
    const char* picture;
  };
  const row rows[] = {
      {0, 0, 4, 3, "####|####|####"},
      {-2, -1, 3, 2, "#bbb|bbbb|bbbb"},
      {3, 2, 5, 5, "bbbb|bbbb|bbb#"},
      {1, 1, 0, 2, "bbbb|bbbb|bbbb"},
      {1, 1, -2, 2, "bbbb|bbbb|bbbb"},
      {4, 0, 1, 3, "bbbb|bbbb|bbbb"},
      {INT64_MAX - 1, 0, 10, 1, "bbbb|bbbb|bbbb"},
      {-5, 1, INT64_MAX, 1, "bbbb|####|bbbb"},
      {INT64_MIN, 0, INT64_MAX, 3, "bbbb|bbbb|bbbb"},
  };
  for (const row& r : rows) {
    small s;
    s.surface.DrawRect(r.x, r.y, r.w, r.h);
    EXPECT_EQ(s.picture(), r.picture) << r.x << "," << r.y << " " << r.w << "x" << r.h;
  }
}

// Frame 1 is a box: ink on its outer columns and its first and last rows, black inside.
TEST(canvas, glyphs_are_cut_to_the_canvas_and_take_the_low_byte_of_the_frame) {
  image atlas;
  atlas.rows[1].fill(0x81);
  atlas.rows[1][0] = atlas.rows[1][11] = 0xFF;
  struct row {
    int64_t x, y;
    int frame;
    const char* picture;
  };
  const row rows[] = {
      {0, 0, 1, "####|#...|#..."},   {-4, -9, 1, "...#|...#|####"},
      {3, 2, 1, "bbbb|bbbb|bbb#"},   {-7, 1, 257, "bbbb|#bbb|#bbb"},
      {4, 0, 1, "bbbb|bbbb|bbbb"},   {-8, 0, 1, "bbbb|bbbb|bbbb"},
      {0, -12, 1, "bbbb|bbbb|bbbb"}, {INT64_MIN, INT64_MAX, 1, "bbbb|bbbb|bbbb"},
      {0, 0, 2, "....|....|...."},
  };
  for (const row& r : rows) {
    small s;
    s.surface.DrawImageFrame(atlas, r.x, r.y, r.frame);
    EXPECT_EQ(s.picture(), r.picture) << r.x << "," << r.y << " frame " << r.frame;
  }
}

// Each channel is drawn × a + old × (255 − a), divided by 255 to the nearest; alpha is
// floor(clamp(alpha) × 255) and colours are clamped.
TEST(canvas, blending_rounds_each_channel_to_the_nearest) {
  struct row {
    uint32_t old;
    int r, g, b;
    float alpha;
    uint32_t blended;
  };
  const row rows[] = {
      {0x000000, 255, 255, 255, 0.5f, 0x7F7F7F}, {0xFFFFFF, 0, 0, 0, 0.5f, 0x808080},
      {0x010101, 0, 0, 0, 0.5f, 0x010101},       {0x000000, 1, 1, 1, 0.5f, 0x000000},
      {0x102030, 300, -5, 128, 1.0f, 0xFF0080},  {0x102030, 255, 255, 255, NAN, 0x102030},
      {0x102030, 0, 0, 0, -1.0f, 0x102030},      {0x102030, 0, 0, 0, 7.0f, 0x000000},
      {0x000000, 200, 100, 1, 0.25f, 0x311900},
  };
  for (const row& r : rows) {
    canvas surface(1, 1);
    surface.SetColor(int(r.old >> 16), int(r.old >> 8 & 0xFF), int(r.old & 0xFF));
    surface.DrawRect(0, 0, 1, 1);
    surface.SetColor(r.r, r.g, r.b);
    surface.SetAlpha(r.alpha);
    surface.DrawRect(0, 0, 1, 1);
    EXPECT_EQ(surface.pixel(0, 0), r.blended) << std::hex << r.old << " alpha " << r.alpha;
  }
}

// A translucent glyph blends its black background as well as its ink.
TEST(canvas, a_translucent_glyph_blends_ink_and_background) {
  image atlas;
  atlas.rows['x'][0] = 0x01;
  canvas surface(2, 1);
  surface.SetColor(255, 255, 255);
  surface.DrawRect(0, 0, 2, 1);
  surface.SetColor(255, 0, 0);
  surface.SetAlpha(0.5f);
  surface.DrawImageFrame(atlas, 0, 0, 'x');
  EXPECT_EQ(surface.pixel(0, 0), 0xFF8080u);
  EXPECT_EQ(surface.pixel(1, 0), 0x808080u);
}

} // namespace
} // namespace tarvex
