// The glyph font: reading "curses.bit" into the font sheet and cutting the glyph atlas.
#include "display/font.h"

#include "runtime/streamnames.h"

namespace tarvex {

glyphfont makefont(canvas& surface) {
  return {surface.MakePixmap(SHEETWIDTH, SHEETHEIGHT, 1, 4),
          surface.MakeImage(GLYPHWIDTH, GLYPHHEIGHT, 256)};
}

bool loadfont(canvas& surface, glyphfont& font, const Text& name) {
  std::unique_ptr<TStream> stream = openforread(name);
  if (!stream) return false;
  loadfont(surface, font, *stream);
  // The picture is all there is to take from the file.
  stream->Close();
  return true;
}

void loadfont(canvas& surface, glyphfont& font, TStream& stream) {
  pixmap& sheet = font.sheet;
  constexpr uint32_t INK = 0xFFFFFF, BACKGROUND = 0x000000;
  int x = 0, y = 0;
  // The first byte is read before any end test, so an empty file fails in ReadByte. Reading
  // stops once the sheet is full: later bytes have no place in it.
  do {
    int b = stream.ReadByte();
    for (int j = 0; j < 8; ++j)
      surface.WritePixel(sheet, x + j, y, (b >> j) & 1 ? BACKGROUND : INK);
    x += 8;
    if (x == SHEETWIDTH) {
      x = 0;
      ++y;
    }
  } while (y < SHEETHEIGHT && !stream.Eof());

  surface.DrawPixmap(sheet, 0, 0);
  // Rows outer, so frame n is the cell at column n mod 16, row n div 16, as in the file.
  int frame = 0;
  for (int row = 0; row < 16; ++row)
    for (int column = 0; column < 16; ++column)
      surface.GrabFrame(font.atlas, GLYPHWIDTH * column, GLYPHHEIGHT * row, frame++);
}

} // namespace tarvex
