// The glyph font read from a file shorter than the picture.
#include "display/font.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace tarvex {
namespace {

// 3000 zero bytes reach row 7 of glyph 247 but not of glyph 248: a clear bit is ink, and
// what the file does not reach stays blank.
TEST(font, a_short_file_inks_what_it_reaches_and_leaves_the_rest_blank) {
  tarvex::testing::tempdir dir;
  canvas surface;
  glyphfont font = makefont(surface);
  ASSERT_TRUE(loadfont(surface, font, frombytes(dir.file("curses.bit", std::string(3000, '\0')))));
  surface.Cls();
  surface.DrawImageFrame(font.atlas, 0, 0, 247);
  surface.DrawImageFrame(font.atlas, 8, 0, 248);
  EXPECT_EQ(surface.pixel(0, 7), 0xFFFFFFu);
  EXPECT_EQ(surface.pixel(8, 7), 0u);
}

} // namespace
} // namespace tarvex
