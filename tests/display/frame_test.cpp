// Tests of the frame renderer: frames of small interpreter states drawn with the shipped font
// and checked cell by cell, the stop test against a fake window, and golden frames.
#include "display/frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "display/font.h"
#include "interp/loader.h"
#include "interp/machine.h"
#include "interp/tick.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

// Colours as the frame draws them; HALF marks those drawn at alpha 0.5.
constexpr uint32_t HALF = 1u << 24, GRIDTEXT = 0xFFF0C0, ARROW = 0xC00C00,
                   CURRENT = 0xFF0000 | HALF, OTHER = 0x840000 | HALF;

// A window-less display as start-up makes it, with the shipped font loaded, and an interpreter
// state built by hand: `count` copies of `line`, then pointers.
struct scene {
  canvas surface;
  glyphfont font = makefont(surface);
  image& atlas = font.atlas;
  console con{stdin, stdout};
  machine m{con};
  explicit scene(int count = 0, const Text& line = u"", int width = 720, int height = 512)
      : surface(width, height) {
    surface.SetBlend(3);
    loadfont(surface, font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"));
    m.grid.lines.assign(size_t(count), line);
    m.grid.linecount = count;
  }
  void pointer(int32_t x, int32_t y, int32_t dir = 3, int v0 = 0, int v1 = 0, int32_t on = 0) {
    ip& p = m.ips.append();
    p.x = x, p.y = y, p.dir = dir, p.val[0] = uint8_t(v0), p.val[1] = uint8_t(v1), p.on = on;
  }
  // Expects the cell at pixel (x, y) to be as the glyphs drawn in turn over black leave it.
  void expectcell(int x, int y, std::initializer_list<std::pair<int, uint32_t>> glyphs) {
    canvas one(GLYPHWIDTH, GLYPHHEIGHT);
    one.SetBlend(3);
    for (auto [code, colour] : glyphs) {
      one.SetColor(int(colour >> 16 & 255), int(colour >> 8 & 255), int(colour & 255));
      one.SetAlpha(colour & HALF ? 0.5f : 1.0f);
      one.DrawImageFrame(atlas, 0, 0, code);
    }
    EXPECT_EQ(surface.GrabPixmap(x, y, GLYPHWIDTH, GLYPHHEIGHT).pixels,
              one.GrabPixmap(0, 0, GLYPHWIDTH, GLYPHHEIGHT).pixels)
        << "cell at pixel " << x << ", " << y;
  }
};

TEST(paintframe, draws_lines_0_to_42_columns_1_to_90_then_pointers_left_of_90_above_42_counted) {
  scene s(50, Text(300, u'A'), 800, 600); // larger than the window, to see beyond its edges
  s.m.grid.lines[0] = u"a\x0141";         // codes above 255 draw their low byte
  for (auto [x, y] : {std::pair{89, 41}, {0, 5}, {90, 30}, {50, 42}, {INT32_MIN, 20}})
    s.pointer(x, y, 1, 5);
  for (int dir = -1; dir <= 4; ++dir)
    s.pointer(10 + dir, 11, dir);
  s.pointer(3, 5, 3, 7, 200, 1);
  s.pointer(20, 6, 0, 1, 2, 0);
  s.pointer(20, 6, 3, 3, 4, 0);
  paintframe(s.surface, s.atlas, s.m);
  s.expectcell(8, 0, {{'a', GRIDTEXT}});
  s.expectcell(16, 0, {{0x41, GRIDTEXT}});
  s.expectcell(8 * 89, 12 * 41, {{'v', ARROW}});
  s.expectcell(0, 12 * 5, {{'v', ARROW}});
  // Line 42, column 90, and the cells of pointers at column 90 or line 42 and above them.
  for (auto [x, y] : {std::pair{20, 42}, {90, 1}, {90, 30}, {90, 28}, {50, 42}, {50, 40}})
    s.expectcell(8 * x, 12 * y, {{'A', GRIDTEXT}});
  // The margin, past the line, line 43, column 91, and where a far-left pointer would overflow to.
  for (auto [x, y] : {std::pair{0, 0}, {3, 0}, {20, 43}, {91, 1}, {0, 20}, {0, 18}})
    s.expectcell(8 * x, 12 * y, {});
  for (int dir = -1; dir <= 4; ++dir)
    s.expectcell(8 * (10 + dir), 132, {{"X^v<>X"[dir + 1], ARROW}});
  // The current value two lines above the pointer, the other one line above.
  for (int i = 0; i < 3; ++i)
    s.expectcell(24 + 8 * i, 36, {{'A', GRIDTEXT}, {"200"[i], CURRENT}});
  s.expectcell(24, 48, {{'A', GRIDTEXT}, {'7', OTHER}});
  // Two pointers on one cell: the later one's arrow and values end up on top.
  s.expectcell(160, 72, {{'>', ARROW}});
  s.expectcell(160, 48, {{'A', GRIDTEXT}, {'1', CURRENT}, {'3', CURRENT}});
  s.expectcell(160, 60, {{'A', GRIDTEXT}, {'2', OTHER}, {'4', OTHER}});
  // The count, drawn last over whatever lies there.
  for (int i = 0; i < 13; ++i)
    s.expectcell(8 * i, 500, {{" Pointers: 14"[i], 0xFFFFFF}});
}

// Golden frames: whole frames of known states, compared by hash. A mismatch leaves a picture
// of the actual frame in the temporary directory.
void expectgolden(const canvas& surface, const std::string& name) {
  uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a 64 over the pixel words' bytes
  for (uint32_t word : surface.pixels())
    for (int shift = 0; shift < 32; shift += 8)
      hash = (hash ^ ((word >> shift) & 0xFF)) * 0x100000001b3ull;
  std::ifstream in(TARVEX_TESTS_DIR "/display/golden/frames.txt");
  for (std::string line, field, hex; std::getline(in, line);)
    if (std::istringstream(line) >> field >> hex && field == name &&
        std::stoull(hex, 0, 16) == hash)
      return;
  std::string path = ::testing::TempDir() + "tarvex-frame-" + name + ".ppm";
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << surface.width() << " " << surface.height() << "\n255\n";
  for (uint32_t p : surface.pixels())
    out << char(p >> 16) << char(p >> 8) << char(p);
  ADD_FAILURE() << "golden frame " << name << " differs: hash " << std::hex << hash
                << ", picture at " << path;
}

TEST(goldenframe, a_hand_built_state_with_every_code_and_a_splitting_program_after_six_ticks) {
  scene s(44, Text(95, u' '));
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
  paintframe(s.surface, s.atlas, s.m);
  expectgolden(s.surface, "every_code_crowded_pointers");
  scene t;
  tarvex::testing::tempdir dir;
  std::unique_ptr<TStream> code = openforread(
      fromcstring(dir.file("code.txt", "%+++#++/\n    +  +\n    #~+\\\n    ++)(\n").c_str()));
  ASSERT_TRUE(code);
  loadgrid(t.m, *code);
  ASSERT_EQ(runticks(t.m, 5).state, tickstate::going);
  steppass(t.m); // the frame of tick 6 is drawn after its steps, before its writes land
  paintframe(t.surface, t.atlas, t.m);
  expectgolden(t.surface, "splitting_program_tick_6");
}

} // namespace
} // namespace tarvex
