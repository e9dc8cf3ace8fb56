// The software canvas: drawing state, blend and modulation arithmetic to the exact pixel,
// pixmaps, image frames and their drawables, and clipping at the canvas edges.
#include "display/backend/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tarvex {
namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r << 16 | g << 8 | b;
}

void setrgb(canvas& cv, uint32_t c) {
  cv.SetColor(int(c >> 16), int(c >> 8 & 255), int(c & 255));
}

// Covers the whole canvas with `colour`, leaving blend mode 2 set.
void fill(canvas& cv, uint32_t colour) {
  cv.SetBlend(2);
  setrgb(cv, colour);
  cv.DrawRect(0, 0, float(cv.width()), float(cv.height()));
}

TEST(canvas, color_and_alpha_are_stored_as_given_and_applied_clamped) {
  canvas cv;
  cv.SetColor(300, -5, 128);
  const canvas::state& s = cv.drawstate();
  EXPECT_EQ((std::vector<int>{s.red, s.green, s.blue}), (std::vector<int>{300, -5, 128}));
  EXPECT_EQ(rgb(s.applied[0], s.applied[1], s.applied[2]), rgb(255, 0, 128));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (auto [alpha, applied] :
       {std::pair{nan, 0}, {-1.0f, 0}, {2.0f, 255}, {0.5f, 127}, {1, 255}}) {
    cv.SetAlpha(alpha);
    EXPECT_EQ(s.applied[3], applied) << "alpha " << alpha;
    EXPECT_TRUE(s.alpha == alpha || std::isnan(alpha)) << "alpha " << alpha;
  }
}

TEST(canvas, drawrect_blends_exact_pixels_in_every_mode) {
  // Mode, colour, alpha byte, the pixel before and after.
  const uint32_t rows[][5] = {
      {3, 0xFFFFFF, 127, 0, rgb(127, 127, 127)},
      {3, rgb(255, 0, 128), 127, rgb(100, 200, 50), rgb(177, 100, 89)},
      {1, rgb(9, 9, 9), 127, rgb(50, 60, 70), rgb(50, 60, 70)}, // fails the alpha test
      {1, rgb(9, 9, 9), 128, rgb(50, 60, 70), rgb(9, 9, 9)},    // passes, unblended
      {2, rgb(9, 8, 7), 0, rgb(50, 60, 70), rgb(9, 8, 7)},      // replaces at any alpha
  };
  for (const auto& r : rows) {
    canvas cv(4, 4);
    fill(cv, r[3]);
    cv.SetBlend(int(r[0]));
    setrgb(cv, r[1]);
    cv.SetAlpha((float(r[2]) + 0.5f) / 255);
    cv.DrawRect(1, 1, 2, 2);
    EXPECT_EQ(std::vector<uint32_t>({cv.pixel(1, 1), cv.pixel(2, 2), cv.pixel(3, 3)}),
              std::vector<uint32_t>({r[4], r[4], r[3]}))
        << "mode " << r[0] << " alpha " << r[2];
  }
}

TEST(canvas, drawrect_covers_pixel_centres_and_clips_at_the_canvas_edges) {
  // Rectangle, then the pixels covered: left, top, right, bottom inclusive (left > right: none).
  const float rows[][8] = {{-3, -2, 5, 4, 0, 0, 1, 1},     {716, 508, 10, 10, 716, 508, 719, 511},
                           {720, 0, 5, 5, 1, 0, 0, 0},     {0, 512, 5, 5, 1, 0, 0, 0},
                           {0.5f, 0.5f, 1, 1, 0, 0, 0, 0}, {0.6f, 0.6f, 1, 1, 1, 1, 1, 1}};
  canvas cv;
  for (const auto& r : rows) {
    fill(cv, 0);
    setrgb(cv, 0xFFFFFF);
    cv.DrawRect(r[0], r[1], r[2], r[3]);
    long wrong = 0;
    for (int y = 0; y < cv.height(); ++y)
      for (int x = 0; x < cv.width(); ++x)
        wrong += (cv.pixel(x, y) != 0) != (x >= r[4] && x <= r[6] && y >= r[5] && y <= r[7]);
    EXPECT_EQ(wrong, 0) << "rectangle at " << r[0] << ", " << r[1];
  }
}

TEST(canvas, writepixel_stores_the_intensity_of_a_colour_in_format_1) {
  canvas cv;
  for (auto [argb, byte] : {std::pair{0x00FFFFFFu, 255}, {0x00808080u, 128}, {0x00FF0000u, 85}}) {
    pixmap pm = cv.MakePixmap(3, 2, 1, 4);
    cv.WritePixel(pm, 2, 1, argb);
    EXPECT_EQ(pm.pixels[size_t(pm.pitch) + 2], byte) << std::hex << argb;
  }
}

TEST(canvas, drawpixmap_then_grabpixmap_returns_the_intensities_as_opaque_grey) {
  canvas cv;
  cv.SetBlend(3);
  cv.SetAlpha(0.5f);
  pixmap sheet = cv.MakePixmap(128, 192, 1, 4);
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 128; ++x)
      cv.WritePixel(sheet, x, y, rgb(1, 1, 1) * (uint32_t(x * 2 + y) & 255));
  cv.DrawPixmap(sheet, 0, 0);
  std::vector<uint8_t> grey;
  for (int i = 0; i < 96; ++i) {
    uint8_t v = sheet.pixels[size_t(i / 8 + 12) * 128 + size_t(i % 8 + 8)];
    grey.insert(grey.end(), {v, v, v, 255});
  }
  EXPECT_EQ(cv.GrabPixmap(8, 12, 8, 12).pixels, grey);
}

TEST(canvas, drawimageframe_modulates_white_to_the_colour_black_stays_black_and_clips) {
  // Colour and alpha, then what a white and a black texel leave over `under`. One frame is
  // drawn in turn in every state, so no state may reuse another's tint.
  const uint32_t under = rgb(255, 240, 192), arrow = rgb(192, 12, 0);
  const uint32_t rows[][4] = {{arrow, 255, arrow, 0},
                              {arrow, 127, rgb(224, 126, 96), rgb(128, 120, 96)},
                              {rgb(0, 0, 255), 127, rgb(128, 120, 223), rgb(128, 120, 96)},
                              {arrow, 255, arrow, 0}};
  canvas cv;
  fill(cv, 0);
  setrgb(cv, 0xFFFFFF);
  cv.DrawRect(0, 0, 4, 6);
  image img = cv.MakeImage(8, 12, 1, 0);
  cv.GrabFrame(img, 0, 0, 0); // white top left quarter, black elsewhere
  for (const auto& r : rows) {
    fill(cv, under);
    cv.SetBlend(3);
    setrgb(cv, r[0]);
    cv.SetAlpha(r[1] == 255 ? 1.0f : 0.5f);
    cv.DrawImageFrame(img, 16, 24, 0);
    EXPECT_EQ(std::vector<uint32_t>({cv.pixel(16, 24), cv.pixel(23, 35), cv.pixel(24, 36)}),
              std::vector<uint32_t>({r[2], r[3], under}))
        << std::hex << r[0] << " alpha " << r[1];
  }
  // At the edges each pixel left on the canvas keeps the texel under it.
  fill(cv, under);
  cv.SetBlend(3);
  setrgb(cv, arrow);
  cv.DrawImageFrame(img, -3, -5, 0);
  cv.DrawImageFrame(img, 716, 506, 0);
  EXPECT_EQ(std::vector<uint32_t>({cv.pixel(0, 0), cv.pixel(1, 0), cv.pixel(0, 1), cv.pixel(5, 0),
                                   cv.pixel(719, 511), cv.pixel(715, 511), cv.pixel(719, 505)}),
            std::vector<uint32_t>({arrow, 0, 0, under, arrow, under, under}));
}

TEST(canvas, a_drawable_is_remade_when_the_generation_changes) {
  canvas cv;
  image img = cv.MakeImage(8, 12, 1, 0);
  fill(cv, rgb(10, 20, 30));
  cv.GrabFrame(img, 0, 0, 0);
  auto drawn = [&] {
    setrgb(cv, 0xFFFFFF);
    cv.DrawImageFrame(img, 50, 50, 0);
    return cv.pixel(50, 50);
  };
  EXPECT_EQ(drawn(), rgb(10, 20, 30));
  // A change to the pixmap alone does not reach this generation's drawable; a new one does.
  cv.WritePixel(img.pixmaps[0], 0, 0, rgb(1, 1, 1) | 0xFF000000u);
  EXPECT_EQ(drawn(), rgb(10, 20, 30));
  cv.newgeneration();
  EXPECT_EQ(drawn(), rgb(1, 1, 1));
}

} // namespace
} // namespace tarvex
