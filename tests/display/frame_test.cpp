// The frame renderer, by golden frames of known states compared by hash, and codes that only
// the frame's own rules tell apart.
#include "display/frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "display/font.h"
#include "interp/loader.h"
#include "interp/tick.h"
#include "runtime/streamnames.h"
#include "tests/interp/rig.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

// A window-less display as start-up makes it, with the shipped font loaded, and an interpreter
// state built by hand: `count` copies of `line`, then pointers.
struct scene : testing::rig {
  canvas surface;
  glyphfont font = makefont(surface);
  explicit scene(int count = 0, const Text& line = u"") {
    surface.SetBlend(BLEND_ALPHA);
    loadfont(surface, font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"));
    m.grid.lines.assign(size_t(count), line);
    m.grid.linecount = count;
  }
  const std::vector<uint32_t>& paint() {
    paintframe(surface, font.atlas, m);
    return surface.pixels();
  }
};

TEST(paintframe, codes_above_255_draw_as_their_low_byte) {
  scene wide(1, u"a\x0141"), narrow(1, u"aA");
  EXPECT_EQ(wide.paint(), narrow.paint());
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

// Lines 0 to 43 of 95 columns, so line 42 and column 90 show only where the frame must stop.
TEST(goldenframe, a_hand_built_state_with_every_code_and_a_splitting_program_after_six_ticks) {
  scene s(44, Text(95, u' '));
  for (int l = 0; l < 44; ++l)
    for (int c = 0; c < 95; ++c)
      s.m.grid.lines[size_t(l)][size_t(c)] = char16_t((l * 95 + c) % 256);
  // x, y, direction, registers, current register. Some share a cell, some stand where no
  // cell or value is drawn, one has a direction no instruction gives.
  const int32_t pointers[][6] = {{0, 3, 0, 255, 0, 1},    {1, 3, 1, 128, 64, 0},
                                 {10, 10, 2, 10, 20, 0},  {10, 10, 3, 30, 40, 1},
                                 {10, 12, 7, 99, 100, 0}, {89, 41, 0, 1, 2, 0},
                                 {90, 20, 0, 1, 2, 0},    {40, 42, 0, 1, 2, 0},
                                 {20, 0, 1, 123, 45, 1},  {30, 1, 2, 67, 89, 0}};
  for (const auto& p : pointers)
    s.put(testing::at(p[0], p[1], p[2], uint8_t(p[3]), uint8_t(p[4]))).on = p[5];
  s.paint();
  expectgolden(s.surface, "every_code_crowded_pointers");
  scene t;
  t.load("%+++#++/\n    +  +\n    #~+\\\n    ++)(\n");
  ASSERT_EQ(runticks(t.m, 5).state, tickstate::going);
  steppass(t.m); // the frame of tick 6 is drawn after its steps, before its writes land
  t.paint();
  expectgolden(t.surface, "splitting_program_tick_6");
}

} // namespace
} // namespace tarvex
