// Tests of the frame renderer: frames of small interpreter states drawn with the shipped font
// and checked pixel by pixel, the stop test against a fake window, and golden frames.
#include "display/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
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

constexpr uint32_t BLACK = 0x000000;
constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r << 16 | g << 8 | b;
}
constexpr uint32_t GRIDTEXT = rgb(255, 240, 192);
constexpr uint32_t ARROW = rgb(192, 12, 0);
constexpr uint32_t CURRENT = rgb(255, 0, 0);
constexpr uint32_t OTHER = rgb(132, 0, 0);
constexpr uint32_t LABEL = rgb(255, 255, 255);
constexpr uint8_t HALF = 127; // SetAlpha(0.5) as a byte

// A window-less display as start-up makes it, with the shipped font loaded.
struct display {
  canvas surface;
  pixmap sheet;
  image atlas;
  std::string font = tarvex::testing::readfile(SHIPPED);

  explicit display(int width = canvas::WIDTH, int height = canvas::HEIGHT)
      : surface(width, height) {
    surface.SetBlend(3);
    sheet = surface.MakePixmap(SHEETWIDTH, SHEETHEIGHT, 1, 4);
    atlas = surface.MakeImage(GLYPHWIDTH, GLYPHHEIGHT, 256, 0);
    std::unique_ptr<TStream> stream = openforread(fromcstring(SHIPPED.c_str()));
    EXPECT_TRUE(stream);
    if (stream) loadfont(surface, sheet, atlas, *stream);
  }

  // Pixel (j, k) of glyph `code` according to the font file itself.
  bool ink(int code, int j, int k) const {
    size_t at = size_t(12 * (code / 16) + k) * 16 + size_t(code % 16);
    return ((static_cast<uint8_t>(font[at]) >> j) & 1) == 0;
  }
};

// An interpreter state built by hand.
struct state {
  console con{stdin, stdout};
  machine m{con};

  explicit state(const std::vector<Text>& lines = {}) {
    m.grid.lines = lines;
    m.grid.linecount = static_cast<int64_t>(lines.size());
    for (const Text& line : lines)
      m.grid.maxlen = std::max<int64_t>(m.grid.maxlen, static_cast<int64_t>(line.size()));
  }
  ip& pointer(int32_t x, int32_t y, int32_t dir = 3, uint8_t v0 = 0, uint8_t v1 = 0,
              int32_t on = 0) {
    ip& p = m.ips.append();
    p.x = x;
    p.y = y;
    p.dir = dir;
    p.val[0] = v0;
    p.val[1] = v1;
    p.on = on;
    return p;
  }
};

std::vector<Text> repeatlines(int count, const Text& line) {
  return std::vector<Text>(size_t(count), line);
}

// One channel-wise draw of a glyph pixel in `colour` at alpha byte `alpha` over `old`, as the
// canvas defines it: the texel (white ink or black background, opaque) modulated by the
// applied colour and alpha, then blended.
uint32_t over(bool ink, uint32_t colour, uint8_t alpha, uint32_t old) {
  uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    uint8_t drawn = modulate(ink ? 255 : 0, uint8_t(colour >> shift));
    uint8_t a = modulate(255, alpha);
    out |= uint32_t{blendchannel(drawn, uint8_t(old >> shift), a)} << shift;
  }
  return out;
}

// Checks the 8 by 12 cell at (x, y) against `expected`(j, k), reporting the first few misses.
template <class F>
void expectcell(const canvas& surface, int x, int y, F expected, const std::string& what) {
  int misses = 0;
  for (int k = 0; k < GLYPHHEIGHT; ++k)
    for (int j = 0; j < GLYPHWIDTH; ++j) {
      int px = x + j, py = y + k;
      if (px < 0 || py < 0 || px >= surface.width() || py >= surface.height()) continue;
      uint32_t want = expected(j, k), got = surface.pixel(px, py);
      if (want != got && ++misses <= 3)
        ADD_FAILURE() << what << ": pixel (" << px << ", " << py << ") is " << std::hex << got
                      << ", expected " << want;
    }
}

// The glyph `code` in `colour`, opaque, on black.
void expectglyph(const display& d, int x, int y, int code, uint32_t colour,
                 const std::string& what) {
  expectcell(
      d.surface, x, y, [&](int j, int k) { return d.ink(code, j, k) ? colour : BLACK; }, what);
}

void expectblack(const display& d, int x, int y, const std::string& what) {
  expectcell(
      d.surface, x, y, [](int, int) { return BLACK; }, what);
}

// ---------------------------------------------------------------------------------------------
// drawtext

TEST(drawtext, draws_one_glyph_per_character_eight_pixels_apart_and_keeps_the_state) {
  display d;
  d.surface.Cls();
  d.surface.SetColor(10, 200, 30);
  d.surface.SetAlpha(1);
  Text text = u"a\n \x0141\x01FF";
  drawtext(d.surface, d.atlas, text, 100, 50);
  const int codes[] = {'a', 10, 32, 0x41, 0xFF}; // codes above 255 show their low byte
  for (int i = 0; i < 5; ++i)
    expectglyph(d, 100 + 8 * i, 50, codes[i], rgb(10, 200, 30), "character " + std::to_string(i));
  expectblack(d, 140, 50, "after the text");
  EXPECT_EQ(d.surface.drawstate().red, 10);
  EXPECT_EQ(d.surface.drawstate().green, 200);
  EXPECT_EQ(d.surface.drawstate().alpha, 1.0f);
  EXPECT_EQ(d.surface.drawstate().blend, 3);
}

TEST(drawtext, an_empty_text_and_far_off_positions_draw_nothing) {
  display d;
  d.surface.Cls();
  drawtext(d.surface, d.atlas, u"", 0, 0);
  drawtext(d.surface, d.atlas, u"abc", std::numeric_limits<int32_t>::min(), 10);
  drawtext(d.surface, d.atlas, u"abc", std::numeric_limits<int32_t>::max(), 10);
  drawtext(d.surface, d.atlas, u"abc", 10, std::numeric_limits<int32_t>::min());
  for (uint32_t p : d.surface.pixels())
    ASSERT_EQ(p, BLACK);
}

// ---------------------------------------------------------------------------------------------
// Grid text

TEST(paintframe, grid_text_starts_at_column_one_in_its_colour_and_low_bytes_stand_for_big_codes) {
  display d;
  state s({u"%+.@ ", u"ab", u"\x0141\x01FF"});
  paintframe(d.surface, d.atlas, s.m);
  expectblack(d, 0, 0, "margin");
  const char* first = "%+.@ ";
  for (int c = 1; c <= 5; ++c)
    expectglyph(d, 8 * c, 0, first[c - 1], GRIDTEXT, "line 0 column " + std::to_string(c));
  expectblack(d, 48, 0, "past line 0");
  expectglyph(d, 8, 12, 'a', GRIDTEXT, "line 1 column 1");
  expectglyph(d, 16, 12, 'b', GRIDTEXT, "line 1 column 2");
  expectglyph(d, 8, 24, 0x41, GRIDTEXT, "code 0x141");
  expectglyph(d, 16, 24, 0xFF, GRIDTEXT, "code 0x1FF");
  expectblack(d, 8, 36, "past the last line");
}

TEST(paintframe, draws_lines_0_to_42_and_columns_1_to_90_only) {
  // A canvas larger than the window shows what lies beyond its edges.
  display d(800, 600);
  state s(repeatlines(50, Text(300, u'A')));
  paintframe(d.surface, d.atlas, s.m);
  for (int l : {0, 41, 42})
    expectglyph(d, 8 * 20, 12 * l, 'A', GRIDTEXT, "line " + std::to_string(l));
  expectblack(d, 8 * 20, 12 * 43, "line 43");
  expectglyph(d, 8 * 89, 0, 'A', GRIDTEXT, "column 89");
  expectglyph(d, 8 * 90, 0, 'A', GRIDTEXT, "column 90");
  expectblack(d, 8 * 91, 0, "column 91");
}

TEST(paintframe, draws_only_linecount_lines) {
  display d;
  state s(repeatlines(5, u"AAAA"));
  s.m.grid.linecount = 3;
  paintframe(d.surface, d.atlas, s.m);
  expectglyph(d, 8, 24, 'A', GRIDTEXT, "line 2");
  expectblack(d, 8, 36, "line 3");
}

// ---------------------------------------------------------------------------------------------
// Pointer cells

TEST(paintframe, pointer_cell_shows_the_arrow_of_its_direction_on_black_over_the_grid) {
  const struct {
    int32_t dir;
    char glyph;
  } arrows[] = {{0, '^'}, {1, 'v'}, {2, '<'}, {3, '>'}, {4, 'X'}, {-1, 'X'}, {99, 'X'}};
  for (const auto& a : arrows) {
    display d;
    state s(repeatlines(5, u"WWWWWW"));
    s.pointer(2, 3, a.dir);
    paintframe(d.surface, d.atlas, s.m);
    expectglyph(d, 16, 36, a.glyph, ARROW, "dir " + std::to_string(a.dir));
    expectglyph(d, 24, 36, 'W', GRIDTEXT, "next cell");
  }
}

TEST(paintframe, values_stand_above_the_pointer_current_register_on_top) {
  const struct {
    uint8_t v0, v1;
    int32_t on;
    const char *top, *middle;
  } cases[] = {
      {7, 200, 1, "200", "7"},
      {7, 200, 0, "7", "200"},
      {0, 255, 0, "0", "255"},
  };
  for (const auto& c : cases) {
    display d;
    state s;
    s.pointer(3, 5, 3, c.v0, c.v1, c.on);
    paintframe(d.surface, d.atlas, s.m);
    std::string top = c.top, middle = c.middle;
    for (size_t i = 0; i < 4; ++i) {
      int x = 24 + 8 * int(i);
      auto draw = [&](const std::string& text, uint32_t colour) {
        return [&, text, colour](int j, int k) {
          return i < text.size() ? over(d.ink(text[i], j, k), colour, HALF, BLACK) : BLACK;
        };
      };
      expectcell(d.surface, x, 60 - 24, draw(top, CURRENT), "current " + top);
      expectcell(d.surface, x, 60 - 12, draw(middle, OTHER), "other " + middle);
    }
    expectglyph(d, 24, 60, '>', ARROW, "cell");
  }
}

TEST(paintframe, values_half_darken_the_grid_text_beneath) {
  display d;
  state s(repeatlines(10, Text(20, u'M')));
  s.pointer(3, 5, 3, 7, 200, 1);
  paintframe(d.surface, d.atlas, s.m);
  auto under = [&](char value, uint32_t colour) {
    return [&, value, colour](int j, int k) {
      uint32_t grid = d.ink('M', j, k) ? GRIDTEXT : BLACK;
      return over(d.ink(value, j, k), colour, HALF, grid);
    };
  };
  expectcell(d.surface, 24, 36, under('2', CURRENT), "2 of 200");
  expectcell(d.surface, 40, 36, under('0', CURRENT), "last 0 of 200");
  expectcell(d.surface, 24, 48, under('7', OTHER), "7");
  expectglyph(d, 32, 48, 'M', GRIDTEXT, "right of 7");
}

TEST(paintframe, pointers_right_of_column_89_or_below_line_41_get_nothing) {
  const struct {
    int32_t x, y;
    bool shown;
  } cases[] = {
      {89, 41, true}, {90, 41, false}, {89, 42, false}, {0, 5, true}, {-1, 5, true}, {5, 1, true},
  };
  for (const auto& c : cases) {
    std::string what = "pointer at (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ")";
    display d(800, 600);
    state s;
    s.pointer(c.x, c.y, 1, 5, 6, 0);
    paintframe(d.surface, d.atlas, s.m);
    int px = 8 * c.x, py = 12 * c.y;
    if (c.shown) {
      expectglyph(d, px, py, 'v', ARROW, what + " cell");
      expectcell(
          d.surface, px, py - 24,
          [&](int j, int k) { return over(d.ink('5', j, k), CURRENT, HALF, BLACK); },
          what + " current");
      expectcell(
          d.surface, px, py - 12,
          [&](int j, int k) { return over(d.ink('6', j, k), OTHER, HALF, BLACK); },
          what + " other");
    } else {
      for (int dy : {0, -12, -24})
        expectblack(d, px, py + dy, what);
    }
  }
}

TEST(paintframe, pointers_far_outside_draw_nothing_and_do_not_overflow) {
  display d;
  state s;
  s.pointer(std::numeric_limits<int32_t>::min(), 3, 0, 1, 2);
  s.pointer(3, std::numeric_limits<int32_t>::min(), 0, 1, 2);
  s.pointer(-1000, -1000, 0, 1, 2);
  paintframe(d.surface, d.atlas, s.m);
  for (int y = 0; y < 500; ++y)
    for (int x = 0; x < canvas::WIDTH; ++x)
      ASSERT_EQ(d.surface.pixel(x, y), BLACK) << x << "," << y;
}

TEST(paintframe, the_later_of_two_pointers_on_one_cell_ends_up_on_top) {
  display d;
  state s;
  s.pointer(4, 6, 0, 1, 2, 0);
  s.pointer(4, 6, 3, 3, 4, 0);
  paintframe(d.surface, d.atlas, s.m);
  expectglyph(d, 32, 72, '>', ARROW, "cell");
  expectcell(
      d.surface, 32, 48,
      [&](int j, int k) {
        return over(d.ink('3', j, k), CURRENT, HALF, over(d.ink('1', j, k), CURRENT, HALF, BLACK));
      },
      "current values");
  expectcell(
      d.surface, 32, 60,
      [&](int j, int k) {
        return over(d.ink('4', j, k), OTHER, HALF, over(d.ink('2', j, k), OTHER, HALF, BLACK));
      },
      "other values");
}

TEST(paintframe, values_lie_over_every_pointer_cell_whatever_the_list_order) {
  for (bool lowerfirst : {true, false}) {
    display d;
    state s;
    // The lower pointer's current value falls on the upper pointer's cell.
    if (lowerfirst) s.pointer(5, 6, 3, 9, 0);
    s.pointer(5, 4, 1);
    if (!lowerfirst) s.pointer(5, 6, 3, 9, 0);
    paintframe(d.surface, d.atlas, s.m);
    expectcell(
        d.surface, 40, 48,
        [&](int j, int k) {
          uint32_t arrow = d.ink('v', j, k) ? ARROW : BLACK;
          return over(d.ink('9', j, k), CURRENT, HALF, arrow);
        },
        lowerfirst ? "lower first" : "upper first");
  }
}

// ---------------------------------------------------------------------------------------------
// The count line, the state left behind

TEST(paintframe, count_label_lies_at_the_bottom_over_line_41) {
  display d;
  state s(repeatlines(43, Text(30, u'W')));
  for (int i = 0; i < 3; ++i)
    s.pointer(95, 0); // counted, not drawn
  paintframe(d.surface, d.atlas, s.m);
  std::string label = " Pointers: 3";
  for (size_t i = 0; i < label.size(); ++i) {
    int x = 8 * int(i);
    // Line 41 (y 492) shows its top 8 rows above the label, which covers its bottom 4.
    expectcell(
        d.surface, x, 492,
        [&](int j, int k) {
          if (k < 8) return i > 0 && d.ink('W', j, k) ? GRIDTEXT : BLACK;
          return d.ink(label[i], j, k - 8) ? LABEL : BLACK;
        },
        "label glyph " + std::to_string(i));
    expectglyph(d, x, 500, label[i], LABEL, "label glyph " + std::to_string(i));
  }
  expectglyph(d, 8 * 12, 492, 'W', GRIDTEXT, "line 41 right of the label");
}

TEST(paintframe, empty_pointer_list_shows_count_0_and_the_frame_starts_from_black) {
  display d;
  d.surface.SetColor(90, 90, 90);
  d.surface.DrawRect(0, 0, canvas::WIDTH, canvas::HEIGHT);
  state s;
  paintframe(d.surface, d.atlas, s.m);
  std::string label = " Pointers: 0";
  for (size_t i = 0; i < label.size(); ++i)
    expectglyph(d, 8 * int(i), 500, label[i], LABEL, "label glyph " + std::to_string(i));
  for (int y = 0; y < 500; ++y)
    for (int x = 0; x < canvas::WIDTH; ++x)
      ASSERT_EQ(d.surface.pixel(x, y), BLACK) << x << "," << y;
}

TEST(paintframe, leaves_colour_white_alpha_1_and_the_blend_mode) {
  display d;
  state s({u"abc"});
  s.pointer(1, 0, 2, 1, 2);
  paintframe(d.surface, d.atlas, s.m);
  const canvas::state& st = d.surface.drawstate();
  EXPECT_EQ(st.red, 255);
  EXPECT_EQ(st.green, 255);
  EXPECT_EQ(st.blue, 255);
  EXPECT_EQ(st.alpha, 1.0f);
  EXPECT_EQ(st.blend, 3);
}

// ---------------------------------------------------------------------------------------------
// The stop test

// A window whose keys and close requests the test sets. A call the frame must not make ends
// the process with status 3, which a death test sees.
struct fakescreen : screen {
  bool escape = false;
  bool closerequest = false;
  bool forbidappterminate = false;
  bool forbidflip = false;
  int flips = 0, lastsync = 0, terminateasks = 0;
  std::vector<int> keysasked;

  void Flip(const canvas&, int sync) override {
    if (forbidflip) std::_Exit(3);
    ++flips;
    lastsync = sync;
  }
  int KeyDown(int key) override {
    keysasked.push_back(key);
    return key == 27 && escape;
  }
  int AppTerminate() override {
    if (forbidappterminate) std::_Exit(3);
    ++terminateasks;
    return closerequest;
  }
};

TEST(drawframe, neither_escape_nor_close_presents_the_frame_once_paced) {
  display d;
  state s({u"ab"});
  fakescreen window;
  drawframe(d.surface, d.atlas, s.m, window);
  EXPECT_EQ(window.flips, 1);
  EXPECT_EQ(window.lastsync, -1);
  EXPECT_EQ(window.keysasked, std::vector<int>{27});
  EXPECT_EQ(window.terminateasks, 1);
  expectglyph(d, 8, 0, 'a', GRIDTEXT, "the presented frame");
}

TEST(drawframeDeathTest, escape_held_ends_with_status_0_without_asking_for_close_or_presenting) {
  display d;
  state s;
  fakescreen window;
  window.escape = true;
  window.closerequest = true;
  window.forbidappterminate = true;
  window.forbidflip = true;
  EXPECT_EXIT(drawframe(d.surface, d.atlas, s.m, window), ::testing::ExitedWithCode(0), "");
}

TEST(drawframeDeathTest, close_request_ends_with_status_0_without_presenting) {
  display d;
  state s;
  fakescreen window;
  window.closerequest = true;
  window.forbidflip = true;
  EXPECT_EXIT(drawframe(d.surface, d.atlas, s.m, window), ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------------------------
// Golden frames: whole frames of known states, compared by hash. A mismatch leaves a picture
// of the actual frame in the temporary directory.

uint64_t fnv1a(const std::vector<uint32_t>& pixels) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint32_t word : pixels)
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (word >> shift) & 0xFF;
      hash *= 0x100000001b3ull;
    }
  return hash;
}

std::string writeppm(const canvas& surface, const std::string& name) {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tarvex-frame-" + name + ".ppm");
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << surface.width() << " " << surface.height() << "\n255\n";
  for (uint32_t p : surface.pixels()) {
    char rgbbytes[3] = {char(p >> 16), char(p >> 8), char(p)};
    out.write(rgbbytes, 3);
  }
  return path.string();
}

std::map<std::string, uint64_t> goldenhashes() {
  std::map<std::string, uint64_t> hashes;
  std::ifstream in(TARVEX_TESTS_DIR "/display/golden/frames.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, hex;
    if (fields >> name >> hex) hashes[name] = std::stoull(hex, nullptr, 16);
  }
  return hashes;
}

void expectgolden(const canvas& surface, const std::string& name) {
  static const std::map<std::string, uint64_t> hashes = goldenhashes();
  uint64_t actual = fnv1a(surface.pixels());
  auto found = hashes.find(name);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(actual));
  if (found == hashes.end() || found->second != actual)
    ADD_FAILURE() << "golden frame " << name << " differs: hash " << hex << ", picture at "
                  << writeppm(surface, name);
}

// Loads a program as the run sequence does.
void loadprogram(machine& m, const std::string& source) {
  tarvex::testing::tempdir dir;
  std::unique_ptr<TStream> stream = openforread(fromcstring(dir.file("code.txt", source).c_str()));
  ASSERT_TRUE(stream);
  loadgrid(m, *stream);
}

TEST(goldenframe, first_frame_of_a_one_line_program) {
  display d;
  state s;
  loadprogram(s.m, "%+.@\n");
  paintframe(d.surface, d.atlas, s.m);
  expectgolden(d.surface, "one_line_first_frame");
}

TEST(goldenframe, hand_built_state_with_every_code_and_crowded_pointers) {
  display d;
  std::vector<Text> lines;
  for (int l = 0; l < 44; ++l) {
    Text line;
    for (int c = 0; c < 95; ++c)
      line += char16_t((l * 95 + c) % 256);
    lines.push_back(line);
  }
  state s(lines);
  s.pointer(0, 3, 0, 255, 0, 1);
  s.pointer(1, 3, 1, 128, 64, 0);
  s.pointer(10, 10, 2, 10, 20, 0);
  s.pointer(10, 10, 3, 30, 40, 1);
  s.pointer(10, 12, 7, 99, 100, 0);
  s.pointer(89, 41, 0, 1, 2, 0);
  s.pointer(90, 20, 0, 1, 2, 0);
  s.pointer(40, 42, 0, 1, 2, 0);
  s.pointer(20, 0, 1, 123, 45, 1);
  s.pointer(30, 1, 2, 67, 89, 0);
  paintframe(d.surface, d.atlas, s.m);
  expectgolden(d.surface, "every_code_crowded_pointers");
}

TEST(goldenframe, a_splitting_program_with_mirrors_after_six_ticks) {
  // A frame is drawn after a tick's steps and before its writes land, as the run loop does.
  display d;
  state s;
  loadprogram(s.m, "%+++#++/\n    +  +\n    #~+\\\n    ++)(\n");
  const int ticks = 6;
  for (int tick = 1; tick <= ticks; ++tick) {
    steppass(s.m);
    ASSERT_FALSE(runover(s.m)) << "tick " << tick;
    if (tick < ticks) applywrites(s.m);
  }
  paintframe(d.surface, d.atlas, s.m);
  expectgolden(d.surface, "splitting_program_tick_6");
}

} // namespace
} // namespace tarvex
