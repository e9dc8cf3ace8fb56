// Tests of the glyph font: synthetic font files read through loadfont and drawn back from the
// atlas, and the shipped "curses.bit".
#include "display/font.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/stream.h"
#include "runtime/streamnames.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

using tarvex::testing::tempdir;

constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t BLACK = 0x000000;

// The display steps of start-up, without a window.
struct fontsetup {
  canvas surface;
  pixmap sheet;
  image atlas;
  fontsetup() {
    surface.SetBlend(3);
    sheet = surface.MakePixmap(SHEETWIDTH, SHEETHEIGHT, 1, 4);
    atlas = surface.MakeImage(GLYPHWIDTH, GLYPHHEIGHT, 256, 0);
  }
  void loadfile(const std::string& path) {
    std::unique_ptr<TStream> stream = openforread(fromcstring(path.c_str()));
    ASSERT_TRUE(stream) << path;
    loadfont(surface, sheet, atlas, *stream);
  }
};

// One glyph as drawn from the atlas, white at alpha 1: true for ink. Every pixel of a glyph is
// opaque, so anything but white or black is a fault.
using glyphpicture = std::array<std::array<bool, GLYPHWIDTH>, GLYPHHEIGHT>;

glyphpicture drawglyph(fontsetup& f, int code) {
  f.surface.Cls();
  f.surface.SetColor(255, 255, 255);
  f.surface.SetAlpha(1);
  // Off the origin, so the sheet's spot on the back buffer plays no part.
  const int left = 200, top = 240;
  f.surface.DrawImageFrame(f.atlas, left, top, code);
  glyphpicture picture{};
  for (int k = 0; k < GLYPHHEIGHT; ++k)
    for (int j = 0; j < GLYPHWIDTH; ++j) {
      uint32_t p = f.surface.pixel(left + j, top + k);
      EXPECT_TRUE(p == WHITE || p == BLACK)
          << "glyph " << code << " pixel (" << j << ", " << k << ") is " << std::hex << p;
      picture[k][j] = p == WHITE;
    }
  return picture;
}

int inkcount(const glyphpicture& picture) {
  int n = 0;
  for (const auto& row : picture)
    for (bool ink : row)
      n += ink;
  return n;
}

// What the file says of pixel (j, k) of glyph g; a pixel no byte reaches is background.
bool inkinfile(const std::string& bytes, int g, int k, int j) {
  size_t at = size_t(12 * (g / 16) + k) * 16 + size_t(g % 16);
  if (at >= bytes.size()) return false;
  return ((static_cast<uint8_t>(bytes[at]) >> j) & 1) == 0;
}

std::string noise(size_t n) {
  std::string bytes(n, '\0');
  uint32_t state = 12345;
  for (char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<char>(state >> 16);
  }
  return bytes;
}

std::string withbyte(std::string bytes, size_t at, uint8_t value) {
  bytes[at] = static_cast<char>(value);
  return bytes;
}

struct filecase {
  const char* name;
  std::string bytes;
};

TEST(font, every_glyph_shows_what_its_file_bytes_say) {
  const filecase cases[] = {
      {"one byte 0x01", std::string(1, '\x01')},
      {"3072 zero bytes", std::string(3072, '\0')},
      {"3072 bytes 0xFF", std::string(3072, '\xFF')},
      {"3000 zero bytes", std::string(3000, '\0')},
      {"frame 17 top row from byte 193", withbyte(std::string(3072, '\xFF'), 193, 0x3A)},
      {"noise", noise(3072)},
      {"noise, short", noise(1601)},
      {"past the sheet ignored", std::string(3072, '\xFF') + std::string(500, '\0')},
  };
  for (const filecase& c : cases) {
    SCOPED_TRACE(c.name);
    tempdir dir;
    fontsetup f;
    f.loadfile(dir.file("curses.bit", c.bytes));
    for (int g = 0; g < 256; ++g) {
      glyphpicture picture = drawglyph(f, g);
      for (int k = 0; k < GLYPHHEIGHT; ++k)
        for (int j = 0; j < GLYPHWIDTH; ++j)
          ASSERT_EQ(picture[k][j], inkinfile(c.bytes, g, k, j))
              << "glyph " << g << " pixel (" << j << ", " << k << ")";
    }
  }
}

TEST(font, first_byte_0x01_makes_only_the_top_left_pixel_of_glyph_0_background) {
  tempdir dir;
  fontsetup f;
  f.loadfile(dir.file("curses.bit", std::string(1, '\x01')));
  glyphpicture picture = drawglyph(f, 0);
  EXPECT_FALSE(picture[0][0]);
  for (int j = 1; j < 8; ++j)
    EXPECT_TRUE(picture[0][j]) << j;
  EXPECT_EQ(inkcount(picture), 7);
}

TEST(font, a_3000_byte_file_fills_the_sheet_to_the_middle_of_row_187) {
  // Sheet row 186 is row 6 of cell row 15, row 187 its row 7: its first 64 pixels belong to
  // glyphs 240 to 247.
  tempdir dir;
  fontsetup f;
  f.loadfile(dir.file("curses.bit", std::string(3000, '\0')));
  for (int g = 240; g < 256; ++g) {
    glyphpicture picture = drawglyph(f, g);
    for (int k = 0; k < GLYPHHEIGHT; ++k) {
      bool filled = k < 7 || (k == 7 && g < 248);
      for (int j = 0; j < GLYPHWIDTH; ++j)
        EXPECT_EQ(picture[k][j], filled) << "glyph " << g << " (" << j << ", " << k << ")";
    }
  }
  EXPECT_EQ(inkcount(drawglyph(f, 239)), 96);
}

TEST(font, frame_17_top_row_is_byte_193_least_significant_bit_leftmost) {
  tempdir dir;
  fontsetup f;
  f.loadfile(dir.file("curses.bit", withbyte(std::string(3072, '\xFF'), 193, 0xF0)));
  glyphpicture picture = drawglyph(f, 17);
  for (int j = 0; j < 8; ++j)
    EXPECT_EQ(picture[0][j], j < 4) << j;
  EXPECT_EQ(inkcount(picture), 4);
}

TEST(font, sheet_holds_intensities_and_lands_on_the_back_buffer) {
  tempdir dir;
  fontsetup f;
  f.surface.Cls();
  f.loadfile(dir.file("curses.bit", std::string(1, '\x01')));
  EXPECT_EQ(f.sheet.pixels[0], 0);
  EXPECT_EQ(f.sheet.pixels[1], 255);
  EXPECT_EQ(f.sheet.pixels[8], 0); // not reached: background
  EXPECT_EQ(f.surface.pixel(0, 0), BLACK);
  EXPECT_EQ(f.surface.pixel(1, 0), WHITE);
  EXPECT_EQ(f.surface.pixel(7, 0), WHITE);
  EXPECT_EQ(f.surface.pixel(8, 0), BLACK);
}

TEST(font, bytes_past_the_sheet_write_nothing_outside_it) {
  tempdir dir;
  fontsetup f;
  f.surface.Cls();
  f.loadfile(dir.file("curses.bit", std::string(3072 + 16 * 8, '\0')));
  EXPECT_EQ(f.sheet.pixels.size(), size_t(SHEETWIDTH * SHEETHEIGHT));
  for (int x = 0; x < 200; ++x) {
    EXPECT_EQ(f.surface.pixel(x, 191), x < SHEETWIDTH ? WHITE : BLACK) << x;
    EXPECT_EQ(f.surface.pixel(x, 192), BLACK) << x;
  }
}

// A stream of zero bytes that never ends; it gives up after `limit` bytes so a loader that
// keeps reading fails instead of hanging.
class endlessstream : public TStream {
public:
  int64_t taken = 0;
  static constexpr int64_t limit = 100000;
  bool Eof() override { return false; }
  int64_t Read(uint8_t* buffer, int64_t n) override {
    if (taken + n > limit) throw std::runtime_error("read far past the sheet");
    std::fill(buffer, buffer + n, uint8_t{0});
    taken += n;
    return n;
  }
};

TEST(font, stops_reading_once_the_sheet_is_full) {
  fontsetup f;
  endlessstream stream;
  loadfont(f.surface, f.sheet, f.atlas, stream);
  EXPECT_EQ(stream.taken, FONTFILESIZE);
  EXPECT_EQ(inkcount(drawglyph(f, 255)), 96);
}

TEST(font, an_empty_file_fails_on_its_first_read) {
  tempdir dir;
  fontsetup f;
  std::unique_ptr<TStream> stream = openforread(fromcstring(dir.file("curses.bit", "").c_str()));
  ASSERT_TRUE(stream);
  EXPECT_THROW(loadfont(f.surface, f.sheet, f.atlas, *stream), TStreamReadException);
}

// Runs `body` in `dir` as the working directory and comes back.
template <class F> void inworkdir(const std::string& dir, F body) {
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  body();
  std::filesystem::current_path(before);
}

TEST(font, reads_curses_bit_from_the_working_directory) {
  tempdir dir;
  dir.file("curses.bit", std::string(3072, '\0'));
  fontsetup f;
  inworkdir(dir.path(), [&] { loadfont(f.surface, f.sheet, f.atlas); });
  EXPECT_EQ(inkcount(drawglyph(f, 65)), 96);
}

TEST(fontDeathTest, a_missing_font_file_ends_with_status_1_and_names_the_file) {
  tempdir dir;
  EXPECT_EXIT(
      {
        fontsetup f;
        if (chdir(dir.path().c_str()) != 0) std::_Exit(99);
        loadfont(f.surface, f.sheet, f.atlas);
      },
      ::testing::ExitedWithCode(1), "tarvex: cannot open the font file curses\\.bit");
}

// ---------------------------------------------------------------------------------------------
// The shipped font.

const std::string SHIPPED = TARVEX_SOURCE_DIR "/display/curses.bit";

struct shippedfont : ::testing::Test {
  fontsetup f;
  void SetUp() override { f.loadfile(SHIPPED); }
};

TEST_F(shippedfont, is_exactly_one_sheet_long) {
  EXPECT_EQ(tarvex::testing::readfile(SHIPPED).size(), size_t(FONTFILESIZE));
}

TEST_F(shippedfont, codes_0_and_32_are_blank_and_every_other_code_has_ink) {
  for (int g = 0; g < 256; ++g) {
    int ink = inkcount(drawglyph(f, g));
    if (g == 0 || g == 32)
      EXPECT_EQ(ink, 0) << "glyph " << g;
    else
      EXPECT_GT(ink, 0) << "glyph " << g;
  }
}

int firstinkrow(const glyphpicture& picture) {
  for (int k = 0; k < GLYPHHEIGHT; ++k)
    for (bool ink : picture[k])
      if (ink) return k;
  return GLYPHHEIGHT;
}

int lastinkrow(const glyphpicture& picture) {
  for (int k = GLYPHHEIGHT - 1; k >= 0; --k)
    for (bool ink : picture[k])
      if (ink) return k;
  return -1;
}

TEST_F(shippedfont, descenders_and_accents_keep_their_rows) {
  int baseline = lastinkrow(drawglyph(f, 'E'));
  int captop = firstinkrow(drawglyph(f, 'E'));
  for (int c : {int('g'), int('j'), int('p'), int('q'), int('y'), 0xE7 /* ç */, 0xFE /* þ */})
    EXPECT_GE(lastinkrow(drawglyph(f, c)), baseline + 2) << "code " << c;
  for (int c : {0xC9 /* É */, 0xC5 /* Å */, 0xD6 /* Ö */, 0xD1 /* Ñ */})
    EXPECT_LT(firstinkrow(drawglyph(f, c)), captop) << "code " << c;
}

// The arms of a box piece, as the lines they leave each edge by: none, single or double.
enum arm { NONE, SINGLE, DOUBLE };
struct piece {
  int code;
  arm up, down, left, right;
};

std::vector<int> inkalong(const glyphpicture& picture, bool row, int index) {
  std::vector<int> at;
  int n = row ? GLYPHWIDTH : GLYPHHEIGHT;
  for (int i = 0; i < n; ++i)
    if (row ? picture[index][i] : picture[i][index]) at.push_back(i);
  return at;
}

TEST_F(shippedfont, box_pieces_meet_their_neighbours_at_every_edge) {
  // Single lines run along column 3 and row 5, double ones along columns 2 and 4, rows 4 and 6.
  const std::vector<int> vertical[] = {{}, {3}, {2, 4}};
  const std::vector<int> horizontal[] = {{}, {5}, {4, 6}};
  const piece pieces[] = {
      {136, NONE, NONE, SINGLE, SINGLE},     // ─
      {137, SINGLE, SINGLE, NONE, NONE},     // │
      {138, NONE, SINGLE, NONE, SINGLE},     // ┌
      {139, NONE, SINGLE, SINGLE, NONE},     // ┐
      {140, SINGLE, NONE, NONE, SINGLE},     // └
      {141, SINGLE, NONE, SINGLE, NONE},     // ┘
      {142, SINGLE, SINGLE, NONE, SINGLE},   // ├
      {143, SINGLE, SINGLE, SINGLE, NONE},   // ┤
      {144, NONE, SINGLE, SINGLE, SINGLE},   // ┬
      {145, SINGLE, NONE, SINGLE, SINGLE},   // ┴
      {146, SINGLE, SINGLE, SINGLE, SINGLE}, // ┼
      {147, NONE, NONE, DOUBLE, DOUBLE},     // ═
      {148, DOUBLE, DOUBLE, NONE, NONE},     // ║
      {149, NONE, DOUBLE, NONE, DOUBLE},     // ╔
      {150, NONE, DOUBLE, DOUBLE, NONE},     // ╗
      {151, DOUBLE, NONE, NONE, DOUBLE},     // ╚
      {152, DOUBLE, NONE, DOUBLE, NONE},     // ╝
      {153, DOUBLE, DOUBLE, NONE, DOUBLE},   // ╠
      {154, DOUBLE, DOUBLE, DOUBLE, NONE},   // ╣
      {155, NONE, DOUBLE, DOUBLE, DOUBLE},   // ╦
      {156, DOUBLE, NONE, DOUBLE, DOUBLE},   // ╩
      {157, DOUBLE, DOUBLE, DOUBLE, DOUBLE}, // ╬
  };
  for (const piece& p : pieces) {
    glyphpicture picture = drawglyph(f, p.code);
    EXPECT_EQ(inkalong(picture, true, 0), vertical[p.up]) << "top edge of " << p.code;
    EXPECT_EQ(inkalong(picture, true, GLYPHHEIGHT - 1), vertical[p.down])
        << "bottom edge of " << p.code;
    EXPECT_EQ(inkalong(picture, false, 0), horizontal[p.left]) << "left edge of " << p.code;
    EXPECT_EQ(inkalong(picture, false, GLYPHWIDTH - 1), horizontal[p.right])
        << "right edge of " << p.code;
  }
}

TEST_F(shippedfont, blocks_fill_their_part_of_the_cell_and_shades_darken_in_order) {
  struct block {
    int code;
    int left, top, right, bottom; // the filled rectangle, ends excluded
  };
  const block blocks[] = {
      {131, 0, 0, 8, 12}, // █
      {132, 0, 6, 8, 12}, // ▄
      {133, 0, 0, 4, 12}, // ▌
      {134, 4, 0, 8, 12}, // ▐
      {135, 0, 0, 8, 6},  // ▀
  };
  for (const block& b : blocks) {
    glyphpicture picture = drawglyph(f, b.code);
    for (int k = 0; k < GLYPHHEIGHT; ++k)
      for (int j = 0; j < GLYPHWIDTH; ++j)
        EXPECT_EQ(picture[k][j], j >= b.left && j < b.right && k >= b.top && k < b.bottom)
            << "block " << b.code << " (" << j << ", " << k << ")";
  }
  int light = inkcount(drawglyph(f, 128)), medium = inkcount(drawglyph(f, 129)),
      dark = inkcount(drawglyph(f, 130));
  EXPECT_LT(light, medium);
  EXPECT_LT(medium, dark);
  EXPECT_LT(dark, 96);
}

} // namespace
} // namespace tarvex
