// The software canvas: drawing state, blend and modulation arithmetic to the exact pixel,
// pixmaps, images and their drawables, and clipping at the canvas edges.
#include "display/backend/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarvex {
namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r << 16 | g << 8 | b;
}

// The float SetAlpha needs to apply the byte `a`.
float alphaof(int a) {
  return (float(a) + 0.5f) / 255.0f;
}

// A format 6 pixmap filled by a function of the position, alpha included.
template <class F> pixmap picture(canvas& cv, int width, int height, F argbat) {
  pixmap pm = cv.MakePixmap(width, height, 6, 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      cv.WritePixel(pm, x, y, argbat(x, y));
  return pm;
}

// Gives a frame a picture the way GrabFrame does, but with any alpha.
void setframe(image& img, int frame, pixmap pm) {
  img.pixmaps[size_t(frame)] = std::move(pm);
  img.frames[size_t(frame)] = pixmap{};
  img.seqs[size_t(frame)] = 0;
}

// ---- Drawing state ----

TEST(canvas, color_is_stored_as_given_and_applied_clamped) {
  canvas cv;
  cv.SetColor(300, -5, 128);
  const canvas::state& s = cv.drawstate();
  EXPECT_EQ(s.red, 300);
  EXPECT_EQ(s.green, -5);
  EXPECT_EQ(s.blue, 128);
  EXPECT_EQ(s.applied[0], 255);
  EXPECT_EQ(s.applied[1], 0);
  EXPECT_EQ(s.applied[2], 128);
}

TEST(canvas, alpha_is_stored_as_given_and_applied_as_floor_of_clamped_times_255) {
  struct row {
    float alpha;
    int applied;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const row rows[] = {
      {nan, 0},    {-1.0f, 0},  {0.0f, 0},           {0.5f, 127},
      {1.0f, 255}, {2.0f, 255}, {alphaof(128), 128}, {std::numeric_limits<float>::infinity(), 255},
  };
  for (const row& r : rows) {
    canvas cv;
    cv.SetAlpha(r.alpha);
    EXPECT_EQ(cv.drawstate().applied[3], r.applied) << "alpha " << r.alpha;
    if (std::isnan(r.alpha))
      EXPECT_TRUE(std::isnan(cv.drawstate().alpha));
    else
      EXPECT_EQ(cv.drawstate().alpha, r.alpha);
  }
}

TEST(canvas, starts_black_in_blend_mode_1_white_and_opaque) {
  canvas cv;
  EXPECT_EQ(cv.width(), 720);
  EXPECT_EQ(cv.height(), 512);
  EXPECT_EQ(cv.drawstate().blend, BLEND_SOLID_MASKED);
  EXPECT_EQ(cv.pixel(0, 0), 0u);
  EXPECT_EQ(cv.pixel(719, 511), 0u);
  const uint8_t* a = cv.drawstate().applied;
  EXPECT_EQ(rgb(a[0], a[1], a[2]), 0xFFFFFFu);
  EXPECT_EQ(a[3], 255);
}

TEST(canvas, resetstate_restores_the_state_of_a_fresh_window) {
  canvas cv;
  cv.SetBlend(3);
  cv.SetColor(1, 2, 3);
  cv.SetAlpha(0.25f);
  cv.resetstate();
  EXPECT_EQ(cv.drawstate().blend, 1);
  EXPECT_EQ(cv.drawstate().red, 255);
  EXPECT_EQ(cv.drawstate().applied[3], 255);
}

TEST(canvas, setblend_ignores_modes_it_does_not_know) {
  canvas cv;
  cv.SetBlend(3);
  for (int mode : {0, 4, -1, 99}) {
    cv.SetBlend(mode);
    EXPECT_EQ(cv.drawstate().blend, 3) << "mode " << mode;
  }
}

TEST(canvas, cls_makes_every_pixel_black_whatever_the_state) {
  canvas cv;
  cv.SetBlend(3);
  cv.SetColor(255, 255, 255);
  cv.SetAlpha(1);
  cv.DrawRect(0, 0, 720, 512);
  cv.SetColor(200, 10, 10);
  cv.SetAlpha(0.3f);
  cv.Cls();
  for (uint32_t p : cv.pixels())
    ASSERT_EQ(p, 0u);
}

// ---- Blending ----

TEST(canvas, drawrect_blends_exact_pixels_in_every_mode) {
  struct row {
    const char* name;
    int mode;
    uint32_t colour; // 0xRRGGBB
    int alpha;       // applied byte
    uint32_t old;
    uint32_t expected;
  };
  const row rows[] = {
      {"mode 3, half over black", 3, 0xFFFFFF, 127, 0x000000, rgb(127, 127, 127)},
      {"mode 3, half over a colour", 3, rgb(255, 0, 128), 127, rgb(100, 200, 50),
       rgb(177, 100, 89)},
      {"mode 3, alpha 200", 3, rgb(10, 20, 30), 200, rgb(250, 128, 3), rgb(62, 43, 24)},
      {"mode 3, opaque replaces", 3, rgb(1, 2, 3), 255, rgb(200, 200, 200), rgb(1, 2, 3)},
      {"mode 3, alpha 0 keeps", 3, rgb(1, 2, 3), 0, rgb(200, 200, 200), rgb(200, 200, 200)},
      {"mode 3, alpha 1 rounds up", 3, 0xFFFFFF, 1, 0, rgb(1, 1, 1)},
      {"mode 1, alpha 127 fails the test", 1, rgb(9, 9, 9), 127, rgb(50, 60, 70), rgb(50, 60, 70)},
      {"mode 1, alpha 128 passes unblended", 1, rgb(9, 9, 9), 128, rgb(50, 60, 70), rgb(9, 9, 9)},
      {"mode 2, alpha 0 still replaces", 2, rgb(9, 8, 7), 0, rgb(50, 60, 70), rgb(9, 8, 7)},
      {"mode 2, half alpha replaces", 2, rgb(9, 8, 7), 127, rgb(50, 60, 70), rgb(9, 8, 7)},
  };
  for (const row& r : rows) {
    canvas cv(4, 4);
    cv.SetBlend(2);
    cv.SetColor(r.old >> 16, r.old >> 8 & 255, r.old & 255);
    cv.DrawRect(0, 0, 4, 4);
    cv.SetBlend(r.mode);
    cv.SetColor(r.colour >> 16, r.colour >> 8 & 255, r.colour & 255);
    cv.SetAlpha(alphaof(r.alpha));
    cv.DrawRect(1, 1, 2, 2);
    EXPECT_EQ(cv.pixel(1, 1), r.expected) << r.name;
    EXPECT_EQ(cv.pixel(2, 2), r.expected) << r.name;
    EXPECT_EQ(cv.pixel(0, 0), r.old) << r.name << ": outside the rectangle";
    EXPECT_EQ(cv.pixel(3, 3), r.old) << r.name << ": outside the rectangle";
  }
}

TEST(canvas, drawrect_blend_matches_blendchannel_for_every_colour_alpha_and_old_value) {
  // Columns hold every old value, rows every alpha; one pass per drawn value.
  canvas cv(256, 256);
  pixmap under = picture(cv, 256, 256, [](int x, int) {
    return rgb(uint32_t(x), uint32_t(255 - x), uint32_t(x ^ 0x5A));
  });
  long mismatches = 0;
  for (int d = 0; d < 256; ++d) {
    cv.SetBlend(3);
    cv.DrawPixmap(under, 0, 0);
    uint8_t drawn[3] = {uint8_t(d), uint8_t(255 - d), uint8_t(d ^ 0x33)};
    cv.SetColor(drawn[0], drawn[1], drawn[2]);
    for (int a = 0; a < 256; ++a) {
      cv.SetAlpha(alphaof(a));
      // An odd width starting at an odd column takes the single-pixel tail as well.
      cv.DrawRect(a % 2 ? 1 : 0, float(a), a % 2 ? 255 : 256, 1);
    }
    for (int a = 0; a < 256; ++a) {
      for (int x = a % 2; x < 256; ++x) {
        uint8_t old[3] = {uint8_t(x), uint8_t(255 - x), uint8_t(x ^ 0x5A)};
        uint32_t want = rgb(blendchannel(drawn[0], old[0], uint8_t(a)),
                            blendchannel(drawn[1], old[1], uint8_t(a)),
                            blendchannel(drawn[2], old[2], uint8_t(a)));
        if (cv.pixel(x, a) != want && mismatches++ < 5)
          ADD_FAILURE() << "drawn " << d << " old " << x << " alpha " << a << ": " << std::hex
                        << cv.pixel(x, a) << " want " << want;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// ---- Rectangles: coverage and clipping ----

TEST(canvas, drawrect_covers_pixel_centres_and_clips_at_the_edges) {
  struct row {
    const char* name;
    float x, y, w, h;
    int left, top, right, bottom; // covered pixels, inclusive; left > right for none
  };
  const row rows[] = {
      {"whole pixels", 2, 3, 4, 2, 2, 3, 5, 4},
      {"starts before the left and top edges", -3, -2, 5, 4, 0, 0, 1, 1},
      {"runs past the right and bottom edges", 716, 508, 10, 10, 716, 508, 719, 511},
      {"wholly left of the canvas", -20, 0, 20, 5, 1, 0, 0, 0},
      {"wholly beyond the right edge", 720, 0, 5, 5, 1, 0, 0, 0},
      {"wholly below the bottom edge", 0, 512, 5, 5, 1, 0, 0, 0},
      {"edge through a centre includes it", 0.5f, 0.5f, 1, 1, 0, 0, 0, 0},
      {"edge just past a centre excludes it", 0.6f, 0.6f, 1, 1, 1, 1, 1, 1},
      {"negative size fills back from the corner", 5, 5, -2, -2, 3, 3, 4, 4},
      {"empty", 5, 5, 0, 3, 1, 0, 0, 0},
      {"not a number", std::numeric_limits<float>::quiet_NaN(), 0, 4, 4, 1, 0, 0, 0},
      {"huge", -1e30f, -1e30f, 2e30f, 2e30f, 0, 0, 719, 511},
  };
  for (const row& r : rows) {
    canvas cv;
    cv.SetBlend(2);
    cv.DrawRect(r.x, r.y, r.w, r.h);
    long count = 0;
    for (int y = 0; y < cv.height(); ++y)
      for (int x = 0; x < cv.width(); ++x) {
        bool inside = x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
        bool lit = cv.pixel(x, y) != 0;
        if (lit != inside && count++ < 3)
          ADD_FAILURE() << r.name << ": pixel (" << x << ", " << y << ") "
                        << (lit ? "drawn" : "not drawn");
      }
  }
}

// ---- Pixmaps ----

TEST(canvas, makepixmap_rounds_the_pitch_up_to_the_alignment) {
  struct row {
    int width, height, format, align;
    int pitch, capacity;
  };
  const row rows[] = {
      {128, 192, 1, 4, 128, 24576}, {3, 2, 1, 4, 4, 8},   {3, 2, 6, 4, 12, 24},
      {5, 1, 3, 8, 16, 16},         {5, 2, 3, 1, 15, 30}, {7, 1, 1, 0, 7, 7},
      {0, 5, 6, 4, 0, 0},           {-4, 3, 6, 4, 0, 0},  {4, 4, 0, 4, 0, 0},
  };
  canvas cv;
  for (const row& r : rows) {
    pixmap pm = cv.MakePixmap(r.width, r.height, r.format, r.align);
    EXPECT_EQ(pm.pitch, r.pitch) << r.width << "x" << r.height << " format " << r.format;
    EXPECT_EQ(pm.capacity, r.capacity) << r.width << "x" << r.height << " format " << r.format;
    ASSERT_EQ(pm.pixels.size(), size_t(r.capacity));
    for (uint8_t b : pm.pixels)
      ASSERT_EQ(b, 0) << "a new pixmap is zero-filled";
  }
}

TEST(canvas, bytes_per_pixel_follow_the_format_table) {
  const int expected[] = {0, 1, 1, 3, 3, 4, 4, 1, 1, 1, 1, 1, 1};
  for (int format = 0; format <= 12; ++format)
    EXPECT_EQ(bytesperpixel(format), expected[format]) << "format " << format;
  EXPECT_EQ(bytesperpixel(13), 0);
  EXPECT_EQ(bytesperpixel(-1), 0);
}

TEST(canvas, writepixel_stores_the_intensity_or_the_colour_bytes) {
  struct row {
    int format;
    uint32_t argb;
    std::vector<uint8_t> bytes;
  };
  const row rows[] = {
      {1, 0x00FFFFFF, {255}},
      {1, 0x00808080, {128}},
      {1, 0x00FF0000, {85}},
      {1, 0xFF000000, {0}},
      {1, 0x00010203, {2}},
      {6, 0x80112233, {0x11, 0x22, 0x33, 0x80}},
      {6, 0x00FFFFFF, {255, 255, 255, 0}},
  };
  canvas cv;
  for (const row& r : rows) {
    pixmap pm = cv.MakePixmap(3, 2, r.format, 4);
    cv.WritePixel(pm, 2, 1, r.argb);
    size_t at = size_t(pm.pitch) + 2 * r.bytes.size();
    std::vector<uint8_t> got(pm.pixels.begin() + long(at),
                             pm.pixels.begin() + long(at + r.bytes.size()));
    EXPECT_EQ(got, r.bytes) << "format " << r.format << " argb " << std::hex << r.argb;
  }
}

TEST(canvas, writepixel_outside_the_pixmap_changes_nothing) {
  canvas cv;
  pixmap pm = cv.MakePixmap(4, 4, 1, 4);
  for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 4}, {1000, 1000}})
    cv.WritePixel(pm, x, y, 0xFFFFFF);
  for (uint8_t b : pm.pixels)
    EXPECT_EQ(b, 0);
}

TEST(canvas, drawpixmap_then_grabpixmap_returns_the_intensities_as_opaque_grey) {
  canvas cv;
  cv.SetBlend(3);
  cv.SetColor(10, 20, 30);
  cv.SetAlpha(0.5f);
  pixmap sheet = cv.MakePixmap(128, 192, 1, 4);
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 128; ++x) {
      uint32_t v = uint32_t(x * 2 + y) & 255;
      cv.WritePixel(sheet, x, y, rgb(v, v, v));
    }
  cv.DrawPixmap(sheet, 0, 0);
  EXPECT_EQ(cv.drawstate().blend, 3) << "the blend mode comes back after the copy";
  pixmap grabbed = cv.GrabPixmap(8, 12, 8, 12);
  ASSERT_EQ(grabbed.format, 6);
  ASSERT_EQ(grabbed.pitch, 32);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 8; ++x) {
      uint8_t v = sheet.pixels[size_t(y + 12) * 128 + size_t(x + 8)];
      const uint8_t* p = grabbed.pixels.data() + y * grabbed.pitch + x * 4;
      EXPECT_EQ(p[0], v);
      EXPECT_EQ(p[1], v);
      EXPECT_EQ(p[2], v);
      EXPECT_EQ(p[3], 255);
    }
}

TEST(canvas, drawpixmap_copies_colour_bytes_and_ignores_their_alpha) {
  canvas cv(4, 4);
  cv.SetBlend(3);
  pixmap pm = picture(cv, 2, 1, [](int x, int) { return x ? 0x00A0B0C0u : 0x80102030u; });
  cv.DrawPixmap(pm, 1, 2);
  EXPECT_EQ(cv.pixel(1, 2), 0x102030u);
  EXPECT_EQ(cv.pixel(2, 2), 0xA0B0C0u);
}

TEST(canvas, drawpixmap_clips_at_every_edge) {
  canvas cv(8, 8);
  pixmap pm =
      picture(cv, 4, 4, [](int x, int y) { return rgb(uint32_t(x + 1), uint32_t(y + 1), 9); });
  struct row {
    int x, y;
  };
  for (row r : {row{-2, -3}, row{6, 5}, row{-10, 0}, row{0, 100}}) {
    cv.Cls();
    cv.DrawPixmap(pm, r.x, r.y);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        int sx = x - r.x, sy = y - r.y;
        uint32_t want =
            sx >= 0 && sx < 4 && sy >= 0 && sy < 4 ? rgb(uint32_t(sx + 1), uint32_t(sy + 1), 9) : 0;
        EXPECT_EQ(cv.pixel(x, y), want)
            << "at (" << r.x << ", " << r.y << "), pixel " << x << "," << y;
      }
  }
}

TEST(canvas, grabpixmap_leaves_the_part_off_the_canvas_zero) {
  canvas cv(4, 4);
  cv.SetBlend(2);
  cv.SetColor(1, 2, 3);
  cv.DrawRect(0, 0, 4, 4);
  pixmap pm = cv.GrabPixmap(-1, 3, 3, 2);
  auto at = [&](int x, int y) { return pm.pixels.data() + y * pm.pitch + x * 4; };
  EXPECT_EQ(at(0, 0)[3], 0) << "left of the canvas";
  EXPECT_EQ(at(1, 0)[0], 1);
  EXPECT_EQ(at(1, 0)[3], 255);
  EXPECT_EQ(at(2, 1)[3], 0) << "below the canvas";
}

// ---- Images ----

TEST(canvas, makeimage_adds_flag_8_and_starts_every_frame_empty) {
  struct row {
    int flags, expected;
  };
  canvas cv;
  for (row r : {row{0, 8}, row{-1, 11}, row{1, 9}, row{8, 8}, row{6, 14}}) {
    image img = cv.MakeImage(8, 12, 256, r.flags);
    EXPECT_EQ(img.flags, r.expected) << "flags " << r.flags;
    EXPECT_EQ(img.mask_r + img.mask_g + img.mask_b, 0);
    ASSERT_EQ(img.pixmaps.size(), 256u);
    ASSERT_EQ(img.frames.size(), 256u);
    EXPECT_EQ(img.pixmaps[255].width, 0);
    EXPECT_EQ(img.seqs[0], 0u);
  }
}

TEST(canvas, drawimageframe_modulates_white_to_the_colour_and_black_stays_black) {
  // Frame 0: white left half, black right half; drawn at alpha 0.5 over the grid text colour.
  struct row {
    const char* name;
    int mode;
    float alpha;
    uint32_t white, black; // what the white and the black texels leave
  };
  const uint32_t under = rgb(255, 240, 192);
  const row rows[] = {
      {"opaque", 3, 1.0f, rgb(192, 12, 0), 0},
      {"half alpha", 3, 0.5f, rgb(224, 126, 96), rgb(128, 120, 96)},
      {"mode 2 ignores alpha", 2, 0.5f, rgb(192, 12, 0), 0},
      {"mode 1 rejects half alpha", 1, 0.5f, under, under},
  };
  for (const row& r : rows) {
    canvas cv;
    image img = cv.MakeImage(8, 12, 2, 0);
    setframe(img, 0,
             picture(cv, 8, 12, [](int x, int) { return x < 4 ? 0xFFFFFFFFu : 0xFF000000u; }));
    cv.SetBlend(2);
    cv.SetColor(255, 240, 192);
    cv.DrawRect(0, 0, 720, 512);
    cv.SetBlend(r.mode);
    cv.SetColor(192, 12, 0);
    cv.SetAlpha(r.alpha);
    cv.DrawImageFrame(img, 16, 24, 0);
    EXPECT_EQ(cv.pixel(16, 24), r.white) << r.name;
    EXPECT_EQ(cv.pixel(19, 35), r.white) << r.name;
    EXPECT_EQ(cv.pixel(20, 24), r.black) << r.name;
    EXPECT_EQ(cv.pixel(23, 35), r.black) << r.name;
    EXPECT_EQ(cv.pixel(15, 24), under) << r.name;
    EXPECT_EQ(cv.pixel(24, 24), under) << r.name;
    EXPECT_EQ(cv.pixel(16, 36), under) << r.name;
  }
}

TEST(canvas, drawimageframe_matches_modulate_then_blendchannel_for_every_texel_value) {
  // Texel (v, 255 - v, v ^ 0x6C, alpha) in column v; old pixels vary by row and pass.
  canvas cv(256, 8);
  image img = cv.MakeImage(256, 1, 4, 0);
  const uint8_t texalpha[4] = {255, 254, 128, 3};
  for (int f = 0; f < 4; ++f)
    setframe(img, f, picture(cv, 256, 1, [&](int x, int) {
               return uint32_t(texalpha[f]) << 24 |
                      rgb(uint32_t(x), uint32_t(255 - x), uint32_t(x ^ 0x6C));
             }));
  struct state {
    int r, g, b, a;
  };
  const state states[] = {{255, 255, 255, 255}, {192, 12, 0, 127}, {1, 254, 128, 200},
                          {255, 0, 0, 128},     {132, 0, 0, 5},    {77, 88, 99, 255}};
  long mismatches = 0;
  for (int mode = 1; mode <= 3; ++mode)
    for (int f = 0; f < 4; ++f)
      for (const state& s : states) {
        cv.SetBlend(2);
        cv.DrawPixmap(picture(cv, 256, 8,
                              [&](int x, int y) {
                                return rgb(uint32_t(x * 7 + y * 31) & 255, uint32_t(y * 40),
                                           uint32_t(x + f) & 255);
                              }),
                      0, 0);
        std::vector<uint32_t> before = cv.pixels();
        cv.SetBlend(mode);
        cv.SetColor(s.r, s.g, s.b);
        cv.SetAlpha(alphaof(s.a));
        // Rows start at column 0, 1 and -1 to take both halves of a pixel pair and the tail.
        for (int y = 0; y < 8; ++y)
          cv.DrawImageFrame(img, float(y % 3 == 2 ? -1 : y % 3), float(y), f);
        for (int y = 0; y < 8; ++y) {
          int offset = y % 3 == 2 ? -1 : y % 3;
          for (int x = 0; x < 256; ++x) {
            uint32_t old = before[size_t(y) * 256 + size_t(x)];
            uint32_t want = old;
            int v = x - offset;
            if (v >= 0 && v < 256) {
              uint8_t t[3] = {uint8_t(v), uint8_t(255 - v), uint8_t(v ^ 0x6C)};
              uint8_t c[3] = {uint8_t(s.r), uint8_t(s.g), uint8_t(s.b)};
              uint8_t a = modulate(texalpha[f], uint8_t(s.a));
              uint32_t out = 0;
              for (int k = 0; k < 3; ++k) {
                uint8_t d = modulate(t[k], c[k]);
                uint8_t o = uint8_t(old >> (16 - 8 * k));
                uint8_t ch = mode == 3 ? blendchannel(d, o, a) : mode == 2 ? d : a >= 128 ? d : o;
                out |= uint32_t(ch) << (16 - 8 * k);
              }
              want = out;
            }
            if (cv.pixel(x, y) != want && mismatches++ < 5)
              ADD_FAILURE() << "mode " << mode << " frame " << f << " colour " << s.r << "," << s.g
                            << "," << s.b << " alpha " << s.a << " at " << x << "," << y << ": "
                            << std::hex << cv.pixel(x, y) << " want " << want;
          }
        }
      }
  EXPECT_EQ(mismatches, 0);
}

TEST(canvas, drawimageframe_clips_at_every_edge) {
  canvas cv;
  image img = cv.MakeImage(8, 12, 1, 0);
  setframe(img, 0, picture(cv, 8, 12, [](int x, int y) {
             return 0xFF000000u | rgb(uint32_t(x + 1), uint32_t(y + 1), 7);
           }));
  cv.SetBlend(3);
  struct row {
    float x, y;
  };
  for (row r : {row{-3, -5}, row{716, 506}, row{-8, 0}, row{720, 0}, row{0, 512}, row{715, -11},
                row{2.6f, 3.4f}, row{0.5f, 100.5f}}) {
    cv.Cls();
    cv.DrawImageFrame(img, r.x, r.y, 0);
    // Pixel centres decide coverage; the texel is the one under the centre.
    int left = int(std::ceil(r.x - 0.5f)), top = int(std::ceil(r.y - 0.5f));
    long wrong = 0;
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 720; ++x) {
        int tx = x - left, ty = y - top;
        uint32_t want = tx >= 0 && tx < 8 && ty >= 0 && ty < 12
                            ? rgb(uint32_t(tx + 1), uint32_t(ty + 1), 7)
                            : 0;
        if (cv.pixel(x, y) != want && wrong++ < 3)
          ADD_FAILURE() << "at (" << r.x << ", " << r.y << "), pixel " << x << "," << y;
      }
  }
}

TEST(canvas, grabframe_cuts_frames_from_the_canvas) {
  canvas cv;
  pixmap sheet = cv.MakePixmap(16, 12, 1, 4);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x)
      cv.WritePixel(sheet, x, y, x >= 8 ? 0xFFFFFF : 0);
  cv.DrawPixmap(sheet, 0, 0);
  image atlas = cv.MakeImage(8, 12, 2, 0);
  cv.GrabFrame(atlas, 0, 0, 0);
  cv.GrabFrame(atlas, 8, 0, 1);
  cv.Cls();
  cv.SetBlend(3);
  cv.SetColor(255, 240, 192);
  cv.DrawImageFrame(atlas, 100, 100, 1);
  cv.DrawImageFrame(atlas, 108, 100, 0);
  EXPECT_EQ(cv.pixel(100, 100), rgb(255, 240, 192));
  EXPECT_EQ(cv.pixel(107, 111), rgb(255, 240, 192));
  EXPECT_EQ(cv.pixel(108, 100), 0u);
}

TEST(canvas, a_drawable_is_kept_until_the_generation_changes_or_the_frame_is_grabbed) {
  canvas cv;
  image img = cv.MakeImage(8, 12, 1, 0);
  cv.SetBlend(2);
  cv.SetColor(10, 20, 30);
  cv.DrawRect(0, 0, 8, 12);
  cv.GrabFrame(img, 0, 0, 0);
  auto drawn = [&] {
    cv.SetColor(255, 255, 255);
    cv.DrawImageFrame(img, 50, 50, 0);
    return cv.pixel(50, 50);
  };
  EXPECT_EQ(drawn(), rgb(10, 20, 30));
  EXPECT_EQ(img.seqs[0], cv.generation());
  EXPECT_EQ(img.frames[0].width, 8);
  EXPECT_EQ(img.frames[0].height, 16) << "the drawable has power-of-two size";

  // A change to the pixmap alone does not reach the drawable of this generation...
  cv.WritePixel(img.pixmaps[0], 0, 0, rgb(1, 1, 1) | 0xFF000000u);
  EXPECT_EQ(drawn(), rgb(10, 20, 30));
  // ...a new generation remakes it...
  cv.newgeneration();
  EXPECT_EQ(drawn(), rgb(1, 1, 1));
  EXPECT_EQ(img.seqs[0], cv.generation());
  // ...and so does a new grab.
  cv.SetColor(7, 7, 7);
  cv.DrawRect(0, 0, 8, 12);
  cv.GrabFrame(img, 0, 0, 0);
  EXPECT_EQ(img.seqs[0], 0u) << "the grab drops the drawable";
  EXPECT_EQ(drawn(), rgb(7, 7, 7));
}

TEST(canvas, a_drawable_repeats_the_last_column_and_row_into_its_padding) {
  canvas cv;
  image img = cv.MakeImage(3, 5, 1, 0);
  setframe(img, 0, picture(cv, 3, 5, [](int x, int y) {
             return 0xFF000000u | rgb(uint32_t(x), uint32_t(y), 1);
           }));
  cv.DrawImageFrame(img, 0, 0, 0);
  const pixmap& tex = img.frames[0];
  ASSERT_EQ(tex.width, 4);
  ASSERT_EQ(tex.height, 8);
  auto texel = [&](int x, int y) {
    const uint8_t* p = tex.pixels.data() + y * tex.pitch + x * 4;
    return uint32_t(p[3]) << 24 | rgb(p[0], p[1], p[2]);
  };
  EXPECT_EQ(texel(3, 2), texel(2, 2)) << "column right of the picture";
  EXPECT_EQ(texel(1, 5), texel(1, 4)) << "row below the picture";
  EXPECT_EQ(texel(3, 5), texel(2, 4)) << "diagonal corner";
  EXPECT_EQ(texel(3, 7), 0u) << "the rest of the padding stays zero";
}

TEST(canvas, a_frame_never_grabbed_draws_as_transparent_black) {
  canvas cv;
  image img = cv.MakeImage(8, 12, 1, 0);
  cv.SetBlend(2);
  cv.SetColor(50, 50, 50);
  cv.DrawRect(0, 0, 720, 512);
  cv.SetBlend(3);
  cv.DrawImageFrame(img, 0, 0, 0);
  EXPECT_EQ(cv.pixel(0, 0), rgb(50, 50, 50)) << "alpha 0 blends to nothing";
  cv.SetBlend(2);
  cv.DrawImageFrame(img, 0, 0, 0);
  EXPECT_EQ(cv.pixel(0, 0), 0u);
}

TEST(canvas, grabframe_with_flag_1_makes_the_mask_colour_transparent) {
  canvas cv;
  pixmap pm = cv.MakePixmap(8, 12, 1, 4);
  for (int x = 0; x < 8; ++x)
    cv.WritePixel(pm, x, 0, 0xFFFFFF);
  cv.DrawPixmap(pm, 0, 0);
  image masked = cv.MakeImage(8, 12, 1, 1);
  image plain = cv.MakeImage(8, 12, 1, 0);
  cv.GrabFrame(masked, 0, 0, 0);
  cv.GrabFrame(plain, 0, 0, 0);
  EXPECT_EQ(masked.pixmaps[0].pixels[3], 255) << "white stays opaque";
  EXPECT_EQ(masked.pixmaps[0].pixels[size_t(masked.pixmaps[0].pitch) + 3], 0) << "black is masked";
  EXPECT_EQ(plain.pixmaps[0].pixels[size_t(plain.pixmaps[0].pitch) + 3], 255);

  cv.SetBlend(2);
  cv.SetColor(9, 9, 9);
  cv.DrawRect(0, 0, 720, 512);
  cv.SetBlend(3);
  cv.SetColor(255, 255, 255);
  cv.DrawImageFrame(masked, 100, 100, 0);
  EXPECT_EQ(cv.pixel(100, 100), 0xFFFFFFu);
  EXPECT_EQ(cv.pixel(100, 101), rgb(9, 9, 9)) << "the masked pixel lets the old one through";
}

TEST(canvas, frames_outside_the_image_are_ignored) {
  canvas cv;
  image img = cv.MakeImage(8, 12, 2, 0);
  cv.SetBlend(2);
  cv.GrabFrame(img, 0, 0, 2);
  cv.GrabFrame(img, 0, 0, -1);
  cv.DrawImageFrame(img, 0, 0, 2);
  cv.DrawImageFrame(img, 0, 0, -1);
  EXPECT_EQ(img.pixmaps[0].width, 0);
  EXPECT_EQ(img.pixmaps[1].width, 0);
}

TEST(canvas, a_frame_drawn_in_alternating_states_keeps_each_state_exact) {
  // The renderer draws digits in two colours in turn; each draw must still use its own state.
  canvas cv;
  image img = cv.MakeImage(8, 12, 1, 0);
  setframe(img, 0, picture(cv, 8, 12, [](int, int) { return 0xFFFFFFFFu; }));
  cv.SetBlend(3);
  cv.SetAlpha(0.5f);
  const int colours[3][3] = {{255, 0, 0}, {132, 0, 0}, {0, 0, 255}};
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 3; ++i) {
      cv.Cls();
      cv.SetColor(colours[i][0], colours[i][1], colours[i][2]);
      cv.DrawImageFrame(img, 0, 0, 0);
      uint32_t want =
          rgb(div255(uint32_t(colours[i][0]) * 127), 0, div255(uint32_t(colours[i][2]) * 127));
      EXPECT_EQ(cv.pixel(3, 3), want) << "round " << round << " colour " << i;
    }
}

} // namespace
} // namespace tarvex
