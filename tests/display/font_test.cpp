// The glyph font: where each byte of the file lands in the atlas.
#include "display/font.h"

#include <gtest/gtest.h>

#include "runtime/memstream.h"
#include "runtime/stream.h"

namespace tarvex {
namespace {

image read(const std::string& bytes) {
  glyphfont font;
  TMemoryStream file(bytes);
  loadfont(font, file);
  return font.atlas;
}

// Byte b is pixel row b / 16 of a 16 × 16 sheet of glyphs, 8 columns from 8 (b % 16) on; a clear
// bit is ink. A file shorter than the sheet leaves the rest blank; one longer is cut.
TEST(font, each_byte_is_one_pixel_row_of_one_glyph_and_a_clear_bit_is_ink) {
  struct row {
    size_t byte;
    int glyph, glyphrow;
  };
  const row rows[] = {{0, 0, 0},     {1, 1, 0},    {15, 15, 0},    {16, 0, 1},
                      {191, 15, 11}, {192, 16, 0}, {3071, 255, 11}};
  for (const row& r : rows) {
    std::string bytes(FONTFILESIZE + 5, '\xff');
    bytes[r.byte] = '\x5a';
    image atlas = read(bytes);
    int inked = 0;
    for (const auto& glyph : atlas.rows)
      for (uint8_t pixels : glyph)
        inked += pixels != 0;
    EXPECT_EQ(inked, 1) << r.byte;
    EXPECT_EQ(atlas.rows[size_t(r.glyph)][size_t(r.glyphrow)], 0xA5) << r.byte;
  }
  image shortfile = read(std::string(3000, '\0'));
  EXPECT_EQ(shortfile.rows[247][7], 0xFF);
  EXPECT_EQ(shortfile.rows[248][7], 0x00);
  EXPECT_THROW(read(""), TStreamReadException);
}

} // namespace
} // namespace tarvex
