// Tests of the glyph font: synthetic font files read through loadfont and drawn back from the
// atlas, and the shipped "curses.bit".
#include "display/font.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>

#include "runtime/stream.h"
#include "runtime/streamnames.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

// The display steps of start-up, without a window, on a font file of the test's.
struct fontsetup {
  tarvex::testing::tempdir dir;
  canvas surface;
  glyphfont font = makefont(surface);
  image& atlas = font.atlas;
  void load(const std::string& bytes) {
    std::unique_ptr<TStream> file = openforread(fromcstring(dir.file("curses.bit", bytes).c_str()));
    ASSERT_TRUE(file);
    loadfont(surface, font, *file);
  }
  // Glyph `code` drawn white from the atlas, away from where the sheet lay: per row a byte
  // with bit j set for ink at pixel j. A glyph is opaque, so grey pixels fail.
  std::vector<uint8_t> glyph(int code) {
    surface.Cls();
    surface.SetColor(255, 255, 255);
    surface.DrawImageFrame(atlas, 200, 240, code);
    std::vector<uint8_t> rows(GLYPHHEIGHT, 0);
    for (int i = 0; i < GLYPHWIDTH * GLYPHHEIGHT; ++i) {
      uint32_t p = surface.pixel(200 + i % GLYPHWIDTH, 240 + i / GLYPHWIDTH);
      EXPECT_TRUE(p == 0xFFFFFF || p == 0) << "glyph " << code << " pixel " << i;
      rows[size_t(i / GLYPHWIDTH)] |= uint8_t((p != 0) << i % GLYPHWIDTH);
    }
    return rows;
  }
};

TEST(font, each_glyph_row_shows_its_file_byte_with_clear_bits_inked_and_unread_rows_blank) {
  // A file, then glyph rows it must give: code, row, ink bits. Row k of glyph g is byte
  // (12 * (g / 16) + k) * 16 + g % 16.
  const std::pair<std::string, std::vector<std::array<int, 3>>> cases[] = {
      {std::string(1, '\x01'), {{0, 0, 0xFE}, {1, 0, 0}}},
      {std::string(3072, '\0'), {{0, 0, 0xFF}, {255, 11, 0xFF}}},
      {std::string(3072, '\xFF'), {{65, 5, 0}}},
      {std::string(3000, '\0'), {{247, 7, 0xFF}, {248, 7, 0}, {255, 7, 0}}},
      {std::string(193, '\xFF') + '\xF0' + std::string(2878, '\xFF'), {{17, 0, 0x0F}, {1, 0, 0}}},
      {std::string(3072, '\xFF') + std::string(500, '\0'), {{255, 11, 0}}},
  };
  for (const auto& [bytes, pins] : cases) {
    fontsetup f;
    f.load(bytes);
    for (auto [code, row, ink] : pins)
      EXPECT_EQ(f.glyph(code)[size_t(row)], ink) << bytes.size() << " bytes, glyph " << code;
  }
}

TEST(font, an_empty_font_file_raises_and_a_missing_one_is_reported) {
  fontsetup empty, missing;
  EXPECT_THROW(empty.load(""), TStreamReadException);
  EXPECT_FALSE(loadfont(missing.surface, missing.font,
                        fromcstring((missing.dir.path() + "/curses.bit").c_str())));
}

TEST(font, the_shipped_font_is_one_sheet_with_codes_0_and_32_blank_and_every_other_inked) {
  std::string shipped = tarvex::testing::readfile(TARVEX_SOURCE_DIR "/display/curses.bit");
  EXPECT_EQ(shipped.size(), size_t(FONTFILESIZE));
  fontsetup f;
  f.load(shipped);
  for (int g = 0; g < 256; ++g)
    EXPECT_EQ(f.glyph(g) == std::vector<uint8_t>(GLYPHHEIGHT, 0), g == 0 || g == 32) << g;
}

} // namespace
} // namespace tarvex
