// The glyph font: files of the wrong size.
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

// Where each byte of the file lands, and that a clear bit is ink, is pinned by the golden frame
// every_code_crowded_pointers, drawn with the shipped font. A file shorter than the sheet
// leaves the rest blank, one longer is cut, and an empty one is refused.
TEST(font, a_short_file_leaves_the_rest_blank_and_an_empty_one_is_refused) {
  image shortfile = read(std::string(3000, '\0'));
  EXPECT_EQ(shortfile.rows[247][7], 0xFF);
  EXPECT_EQ(shortfile.rows[248][7], 0x00);
  EXPECT_EQ(read(std::string(FONTFILESIZE + 5, '\0')).rows[255][11], 0xFF);
  EXPECT_THROW(read(""), TStreamReadException);
}

} // namespace
} // namespace tarvex
