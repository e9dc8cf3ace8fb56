// The glyph font: reading "curses.bit" into the glyph atlas.
#include "display/font.h"

#include "runtime/streamnames.h"

namespace tarvex {

bool loadfont(glyphfont& font, const Text& name) {
  return readnamed(name, [&font](TStream& stream) { loadfont(font, stream); });
}

void loadfont(glyphfont& font, TStream& stream) {
  font.atlas.rows = {};
  font.atlas.version = nextimageversion();
  // Byte b of the file is pixel row b / 16 of the sheet, columns 8 (b % 16) on; glyph n is the
  // cell at column n mod 16, row n div 16 of the sheet. The first byte is read before any end
  // test, so an empty file fails in ReadByte. Reading stops once the sheet is full.
  int b = 0;
  do {
    const int y = b / 16, column = b % 16;
    const int glyph = y / GLYPHHEIGHT * 16 + column;
    font.atlas.rows[size_t(glyph)][size_t(y % GLYPHHEIGHT)] = uint8_t(~stream.ReadByte());
  } while (++b < FONTFILESIZE && !stream.Eof());
}

} // namespace tarvex
