// The software canvas: drawing state, blend and modulation arithmetic to the exact pixel,
// pixmaps, image frames and their drawables, and clipping at the canvas edges.
#include "display/canvas.h"

#include <gtest/gtest.h>

namespace tarvex {
namespace {

using pixels = std::vector<uint32_t>;

void paint(canvas& cv, int mode, uint32_t c) {
  cv.SetBlend(mode);
  cv.SetColor(int(c >> 16), int(c >> 8 & 255), int(c & 255));
}

// Covers the whole canvas with `colour`, leaving blend mode 2 set.
void fill(canvas& cv, uint32_t colour) {
  paint(cv, 2, colour);
  cv.DrawRect(0, 0, float(cv.width()), float(cv.height()));
}

TEST(canvas, drawrect_blends_exact_pixels_in_every_mode_and_clips_at_every_edge) {
  // Mode, colour, alpha byte, the pixel before and after.
  const uint32_t rows[][5] = {
      {3, 0xFFFFFF, 127, 0, 0x7F7F7F},        {3, 0xFF0080, 127, 0x64C832, 0xB16459},
      {1, 0x090909, 127, 0x323C46, 0x323C46}, // fails the alpha test
      {1, 0x090909, 128, 0x323C46, 0x090909}, // passes, unblended
      {2, 0x090807, 0, 0x323C46, 0x090807},   // replaces at any alpha
  };
  for (const auto& r : rows) {
    canvas cv(4, 4);
    fill(cv, r[3]);
    paint(cv, int(r[0]), r[1]);
    cv.SetAlpha((float(r[2]) + 0.5f) / 255);
    // Over the top left and the bottom right: pixels 0 to 1 and 3, none wrapping to 2 or (3, 0).
    cv.DrawRect(-2, -2, 4, 4);
    cv.DrawRect(3, 3, 5, 5);
    EXPECT_EQ(
        pixels({cv.pixel(0, 0), cv.pixel(1, 1), cv.pixel(3, 3), cv.pixel(2, 2), cv.pixel(3, 0)}),
        pixels({r[4], r[4], r[4], r[3], r[3]}))
        << "mode " << r[0] << " alpha " << r[2];
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
  pixmap sheet = cv.MakePixmap(18, 24, 1, 4); // rows padded to 20 bytes
  for (int i = 0; i < 18 * 24; ++i)
    cv.WritePixel(sheet, i % 18, i / 18, 0x010101u * uint32_t(i % 18 + i / 18 * 10));
  cv.DrawPixmap(sheet, 0, 0);
  std::vector<uint8_t> grey;
  for (int y = 12; y < 24; ++y)
    for (int x = 8; x < 16; ++x)
      grey.insert(grey.end(), {uint8_t(x + 10 * y), uint8_t(x + 10 * y), uint8_t(x + 10 * y), 255});
  EXPECT_EQ(cv.GrabPixmap(8, 12, 8, 12).pixels, grey);
}

TEST(canvas, drawimageframe_modulates_white_to_the_colour_black_to_black_clips_and_is_remade) {
  // Colour and alpha, then what a white and a black texel leave over `under`. One frame is
  // drawn in turn in every state, so no state may reuse another's tint.
  const uint32_t under = 0xFFF0C0, arrow = 0xC00C00;
  const uint32_t rows[][4] = {{arrow, 127, 0xE07E60, 0x807860},
                              {0x0000FF, 127, 0x8078DF, 0x807860},
                              {arrow, 255, arrow, 0}};
  canvas cv; // black, drawing opaque white
  cv.DrawRect(0, 0, 4, 6);
  image img = cv.MakeImage(8, 12, 1);
  cv.GrabFrame(img, 0, 0, 0); // white top left quarter, black elsewhere
  for (const auto& r : rows) {
    fill(cv, under);
    paint(cv, 3, r[0]);
    cv.SetAlpha(r[1] == 255 ? 1.0f : 0.5f);
    // Across two corners: each pixel left on the canvas shows the texel under it, white (3, 5).
    cv.DrawImageFrame(img, -3, -5, 0);
    cv.DrawImageFrame(img, 716, 506, 0);
    EXPECT_EQ(pixels({cv.pixel(0, 0), cv.pixel(1, 0), cv.pixel(0, 1), cv.pixel(5, 0),
                      cv.pixel(719, 511), cv.pixel(715, 511), cv.pixel(719, 505)}),
              pixels({r[2], r[3], r[3], under, r[2], under, under}))
        << std::hex << r[0] << " alpha " << r[1];
  }
  // A change to the pixmap reaches the drawable only once it is made again, in a new generation.
  cv.WritePixel(img.pixmaps[0], 0, 0, 0xFF000000u);
  for (uint32_t want : {arrow, 0u}) {
    cv.DrawImageFrame(img, 16, 24, 0);
    EXPECT_EQ(cv.pixel(16, 24), want);
    cv.newgeneration();
  }
}

} // namespace
} // namespace tarvex
