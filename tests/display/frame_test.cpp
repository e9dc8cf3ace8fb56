// Tests of the frame renderer: frames of small interpreter states drawn with the shipped font
// and checked pixel by pixel, the stop test against a fake window, and golden frames.
#include "display/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "display/backend/screen.h"
#include "display/font.h"
#include "interp/loader.h"
#include "interp/machine.h"
#include "interp/tick.h"
#include "interp/writes.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

const std::string SHIPPED = TARVEX_SOURCE_DIR "/display/curses.bit";

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r << 16 | g << 8 | b;
}
constexpr uint32_t GRIDTEXT = rgb(255, 240, 192), ARROW = rgb(192, 12, 0);
constexpr uint32_t CURRENT = rgb(255, 0, 0), OTHER = rgb(132, 0, 0), LABEL = 0xFFFFFF;
constexpr uint8_t HALF = 127; // SetAlpha(0.5) as a byte

// A window-less display as start-up makes it, with the shipped font loaded.
struct display {
  canvas surface;
  pixmap sheet = surface.MakePixmap(SHEETWIDTH, SHEETHEIGHT, 1, 4);
  image atlas = surface.MakeImage(GLYPHWIDTH, GLYPHHEIGHT, 256, 0);
  std::string font = tarvex::testing::readfile(SHIPPED);
  explicit display(int width = canvas::WIDTH, int height = canvas::HEIGHT)
      : surface(width, height) {
    surface.SetBlend(3);
    std::unique_ptr<TStream> stream = openforread(fromcstring(SHIPPED.c_str()));
    if (stream) loadfont(surface, sheet, atlas, *stream);
  }
  // The 96 pixels of the cell at (x, y), row by row.
  std::vector<uint32_t> cell(int x, int y) const {
    std::vector<uint32_t> pixels;
    for (int i = 0; i < GLYPHWIDTH * GLYPHHEIGHT; ++i)
      pixels.push_back(surface.pixel(x + i % GLYPHWIDTH, y + i / GLYPHWIDTH));
    return pixels;
  }
  // A cell as glyphs drawn in turn over black leave it, read from the font file itself: each
  // glyph (-1 for none) in its colour at an alpha byte.
  struct layer {
    int code;
    uint32_t colour;
    uint8_t alpha = 255;
  };
  std::vector<uint32_t> drawn(std::initializer_list<layer> layers) const {
    std::vector<uint32_t> pixels(GLYPHWIDTH * GLYPHHEIGHT, 0);
    for (const layer& l : layers)
      for (size_t i = 0; i < pixels.size(); ++i) {
        size_t at = size_t(12 * (l.code / 16) + int(i) / 8) * 16 + size_t(l.code % 16);
        uint32_t ink = l.code >= 0 && (uint8_t(font[at]) >> (i % 8) & 1) == 0 ? l.colour : 0;
        uint32_t old = std::exchange(pixels[i], 0);
        for (int s : {16, 8, 0})
          pixels[i] |= uint32_t{blendchannel(uint8_t(ink >> s), uint8_t(old >> s), l.alpha)} << s;
      }
    return pixels;
  }
};

// An interpreter state built by hand: `count` copies of `line`, then pointers.
struct state {
  console con{stdin, stdout};
  machine m{con};
  explicit state(int count = 0, const Text& line = u"") {
    m.grid.lines.assign(size_t(count), line);
    m.grid.linecount = count;
    m.grid.maxlen = static_cast<int64_t>(line.size());
  }
  void pointer(int32_t x, int32_t y, int32_t dir = 3, int v0 = 0, int v1 = 0, int32_t on = 0) {
    ip& p = m.ips.append();
    p.x = x, p.y = y, p.dir = dir, p.val[0] = uint8_t(v0), p.val[1] = uint8_t(v1), p.on = on;
  }
};

TEST(paintframe, draws_lines_0_to_42_columns_1_to_90_and_pointers_above_line_42_left_of_90) {
  display d(800, 600); // larger than the window, to show what lies beyond its edges
  state s(50, Text(300, u'A'));
  s.m.grid.lines[0] = u"a\x0141"; // codes above 255 draw their low byte
  for (auto [x, y] : {std::pair{89, 41}, {0, 5}, {90, 30}, {50, 42}, {INT32_MIN, 20}})
    s.pointer(x, y, 1, 5);
  paintframe(d.surface, d.atlas, s.m);
  EXPECT_EQ(d.cell(8, 0), d.drawn({{'a', GRIDTEXT}}));
  EXPECT_EQ(d.cell(16, 0), d.drawn({{0x41, GRIDTEXT}}));
  EXPECT_EQ(d.cell(8 * 89, 12 * 41), d.drawn({{'v', ARROW}})) << "pointer at 89, 41";
  EXPECT_EQ(d.cell(8 * 89, 12 * 39), d.drawn({{'A', GRIDTEXT}, {'5', CURRENT, HALF}}));
  EXPECT_EQ(d.cell(0, 12 * 5), d.drawn({{'v', ARROW}})) << "pointer in the margin";
  EXPECT_EQ(d.cell(0, 12 * 3), d.drawn({{'5', CURRENT, HALF}}));
  // Line 42, column 90, and the cells of pointers at column 90 or line 42 and above them.
  for (auto [x, y] : {std::pair{20, 42}, {90, 1}, {90, 30}, {90, 28}, {50, 42}, {50, 40}})
    EXPECT_EQ(d.cell(8 * x, 12 * y), d.drawn({{'A', GRIDTEXT}}))
        << "column " << x << ", line " << y;
  // The margin, past the line, line 43, column 91, and where a far-left pointer would overflow to.
  for (auto [x, y] : {std::pair{0, 0}, {3, 0}, {20, 43}, {91, 1}, {0, 20}, {0, 18}})
    EXPECT_EQ(d.cell(8 * x, 12 * y), d.drawn({{-1, 0}})) << "column " << x << ", line " << y;
}

TEST(paintframe, pointers_show_arrow_and_half_alpha_values_latest_on_top_and_are_counted) {
  display d;
  state s(12, Text(30, u'M'));
  for (int dir = -1; dir <= 4; ++dir)
    s.pointer(10 + dir, 11, dir);
  s.pointer(3, 5, 3, 7, 200, 1);
  s.pointer(20, 6, 0, 1, 2, 0);
  s.pointer(20, 6, 3, 3, 4, 0);
  s.pointer(95, 0); // counted, not drawn
  paintframe(d.surface, d.atlas, s.m);
  for (int dir = -1; dir <= 4; ++dir)
    EXPECT_EQ(d.cell(8 * (10 + dir), 132), d.drawn({{"X^v<>X"[dir + 1], ARROW}})) << dir;
  EXPECT_EQ(d.cell(8 * 15, 132), d.drawn({{'M', GRIDTEXT}})) << "next to the arrows";
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(d.cell(24 + 8 * i, 36), d.drawn({{'M', GRIDTEXT}, {"200"[i], CURRENT, HALF}}));
  EXPECT_EQ(d.cell(24, 48), d.drawn({{'M', GRIDTEXT}, {'7', OTHER, HALF}}));
  EXPECT_EQ(d.cell(32, 48), d.drawn({{'M', GRIDTEXT}}));
  // Two pointers on one cell: the later one's arrow and values end up on top.
  EXPECT_EQ(d.cell(160, 72), d.drawn({{'>', ARROW}}));
  EXPECT_EQ(d.cell(160, 48),
            d.drawn({{'M', GRIDTEXT}, {'1', CURRENT, HALF}, {'3', CURRENT, HALF}}));
  EXPECT_EQ(d.cell(160, 60), d.drawn({{'M', GRIDTEXT}, {'2', OTHER, HALF}, {'4', OTHER, HALF}}));
  const std::string label = " Pointers: 10";
  for (size_t i = 0; i < label.size(); ++i)
    EXPECT_EQ(d.cell(8 * int(i), 500), d.drawn({{label[i], LABEL}})) << "label glyph " << i;
}

// A window whose Escape key and close requests the test sets. A call the frame must not make
// ends the process with status 3: no Flip once either is set, no close query under Escape.
struct fakescreen : screen {
  bool escape, closerequest;
  std::vector<int> flips; // the sync of each
  fakescreen(bool held, bool asked) : escape(held), closerequest(asked) {}
  void Flip(const canvas&, int sync) override {
    if (escape || closerequest) std::_Exit(3);
    flips.push_back(sync);
  }
  int KeyDown(int key) override { return key == 27 && escape; }
  int AppTerminate() override {
    if (escape) std::_Exit(3);
    return closerequest;
  }
};

TEST(drawframeDeathTest, escape_or_a_close_request_ends_with_0_else_one_paced_flip) {
  display d;
  state s;
  fakescreen escape(true, true), close(false, true), neither(false, false);
  EXPECT_EXIT(drawframe(d.surface, d.atlas, s.m, escape), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(drawframe(d.surface, d.atlas, s.m, close), ::testing::ExitedWithCode(0), "");
  drawframe(d.surface, d.atlas, s.m, neither);
  EXPECT_EQ(neither.flips, std::vector<int>{-1});
}

// Golden frames: whole frames of known states, compared by hash. A mismatch leaves a picture
// of the actual frame in the temporary directory.
void expectgolden(const canvas& surface, const std::string& name) {
  uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a 64 over the pixel words' bytes
  for (uint32_t word : surface.pixels())
    for (int shift = 0; shift < 32; shift += 8)
      hash = (hash ^ ((word >> shift) & 0xFF)) * 0x100000001b3ull;
  std::ifstream in(TARVEX_TESTS_DIR "/display/golden/frames.txt");
  std::string line, field, hex;
  while (std::getline(in, line))
    if (std::istringstream(line) >> field >> hex && field == name &&
        std::stoull(hex, 0, 16) == hash)
      return;
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tarvex-frame-" + name + ".ppm");
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << surface.width() << " " << surface.height() << "\n255\n";
  for (uint32_t p : surface.pixels())
    out << char(p >> 16) << char(p >> 8) << char(p);
  ADD_FAILURE() << "golden frame " << name << " differs: hash " << std::hex << hash
                << ", picture at " << path.string();
}

TEST(goldenframe, hand_built_state_with_every_code_and_crowded_pointers) {
  display d;
  state s(44, Text(95, u' '));
  for (int l = 0; l < 44; ++l)
    for (int c = 0; c < 95; ++c)
      s.m.grid.lines[size_t(l)][size_t(c)] = char16_t((l * 95 + c) % 256);
  const int32_t pointers[][6] = {{0, 3, 0, 255, 0, 1},    {1, 3, 1, 128, 64, 0},
                                 {10, 10, 2, 10, 20, 0},  {10, 10, 3, 30, 40, 1},
                                 {10, 12, 7, 99, 100, 0}, {89, 41, 0, 1, 2, 0},
                                 {90, 20, 0, 1, 2, 0},    {40, 42, 0, 1, 2, 0},
                                 {20, 0, 1, 123, 45, 1},  {30, 1, 2, 67, 89, 0}};
  for (const auto& p : pointers)
    s.pointer(p[0], p[1], p[2], p[3], p[4], p[5]);
  paintframe(d.surface, d.atlas, s.m);
  expectgolden(d.surface, "every_code_crowded_pointers");
}

TEST(goldenframe, a_splitting_program_with_mirrors_after_six_ticks) {
  // A frame is drawn after a tick's steps and before its writes land, as the run loop does.
  display d;
  state s;
  tarvex::testing::tempdir dir;
  std::string path = dir.file("code.txt", "%+++#++/\n    +  +\n    #~+\\\n    ++)(\n");
  std::unique_ptr<TStream> stream = openforread(fromcstring(path.c_str()));
  ASSERT_TRUE(stream);
  loadgrid(s.m, *stream);
  for (int tick = 1; tick <= 6; ++tick) {
    steppass(s.m);
    ASSERT_FALSE(runover(s.m)) << "tick " << tick;
    if (tick < 6) applywrites(s.m);
  }
  paintframe(d.surface, d.atlas, s.m);
  expectgolden(d.surface, "splitting_program_tick_6");
}

} // namespace
} // namespace tarvex
