// Tests of the glyph font: synthetic font files read through loadfont and drawn back from the
// atlas, and the shipped "curses.bit".
#include "display/font.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/stream.h"
#include "runtime/streamnames.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

const std::string SHIPPED = TARVEX_SOURCE_DIR "/display/curses.bit";

// The display steps of start-up, without a window.
struct fontsetup {
  canvas surface;
  pixmap sheet = surface.MakePixmap(SHEETWIDTH, SHEETHEIGHT, 1, 4);
  image atlas = surface.MakeImage(GLYPHWIDTH, GLYPHHEIGHT, 256, 0);
  void load(const std::string& path) {
    surface.SetBlend(3);
    std::unique_ptr<TStream> stream = openforread(fromcstring(path.c_str()));
    ASSERT_TRUE(stream) << path;
    loadfont(surface, sheet, atlas, *stream);
  }
  // Glyph `code` drawn white from the atlas, away from where the sheet lay: per row a byte
  // with bit j set for ink at pixel j. A glyph is opaque, so grey pixels fail.
  std::vector<uint8_t> glyph(int code) {
    surface.Cls();
    surface.SetColor(255, 255, 255);
    surface.DrawImageFrame(atlas, 200, 240, code);
    std::vector<uint8_t> rows(GLYPHHEIGHT, 0);
    for (int k = 0; k < GLYPHHEIGHT; ++k)
      for (int j = 0; j < GLYPHWIDTH; ++j) {
        uint32_t p = surface.pixel(200 + j, 240 + k);
        EXPECT_TRUE(p == 0xFFFFFF || p == 0) << "glyph " << code << " pixel " << j << ", " << k;
        rows[size_t(k)] |= uint8_t((p != 0) << j);
      }
    return rows;
  }
};

// Row k of glyph g is byte (12 * (g / 16) + k) * 16 + g % 16, a clear bit inking its pixel;
// rows no byte reaches stay background.
std::vector<uint8_t> glyphinfile(const std::string& bytes, int g) {
  std::vector<uint8_t> rows;
  for (int k = 0; k < GLYPHHEIGHT; ++k) {
    size_t at = size_t(12 * (g / 16) + k) * 16 + size_t(g % 16);
    rows.push_back(at < bytes.size() ? uint8_t(~uint8_t(bytes[at])) : 0);
  }
  return rows;
}

TEST(font, every_glyph_shows_what_its_file_bytes_say) {
  std::string frame17(3072, '\xFF');
  frame17[193] = '\xF0';
  // Each row also pins one glyph row's ink bits by hand.
  struct filecase {
    const char* name;
    std::string bytes;
    int code, row, ink;
  };
  const filecase cases[] = {
      {"first byte 0x01", std::string(1, '\x01'), 0, 0, 0xFE},
      {"all zeros", std::string(3072, '\0'), 255, 11, 0xFF},
      {"all 0xFF", std::string(3072, '\xFF'), 65, 5, 0},
      {"3000 bytes end in row 7 of glyph 247", std::string(3000, '\0'), 248, 7, 0},
      {"frame 17's top row is byte 193", frame17, 17, 0, 0x0F},
      {"bytes past 3072 ignored", std::string(3072, '\xFF') + std::string(500, '\0'), 255, 11, 0},
  };
  for (const filecase& c : cases) {
    SCOPED_TRACE(c.name);
    tarvex::testing::tempdir dir;
    fontsetup f;
    f.load(dir.file("curses.bit", c.bytes));
    EXPECT_EQ(f.glyph(c.code)[size_t(c.row)], c.ink);
    for (int g = 0; g < 256; ++g)
      ASSERT_EQ(f.glyph(g), glyphinfile(c.bytes, g)) << "glyph " << g;
  }
}

TEST(fontDeathTest, an_empty_font_file_raises_and_a_missing_one_ends_with_status_1) {
  tarvex::testing::tempdir dir;
  fontsetup f;
  std::unique_ptr<TStream> empty = openforread(fromcstring(dir.file("curses.bit", "").c_str()));
  EXPECT_THROW(loadfont(f.surface, f.sheet, f.atlas, *empty), TStreamReadException);
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0 || unlink("curses.bit") != 0) std::_Exit(99);
        loadfont(f.surface, f.sheet, f.atlas);
      },
      ::testing::ExitedWithCode(1), "tarvex: cannot open the font file curses\\.bit");
}

TEST(font, the_shipped_font_is_one_sheet_with_codes_0_and_32_blank_and_every_other_inked) {
  EXPECT_EQ(tarvex::testing::readfile(SHIPPED).size(), size_t(FONTFILESIZE));
  fontsetup f;
  f.load(SHIPPED);
  for (int g = 0; g < 256; ++g)
    EXPECT_EQ(f.glyph(g) == std::vector<uint8_t>(GLYPHHEIGHT, 0), g == 0 || g == 32) << g;
}

} // namespace
} // namespace tarvex
