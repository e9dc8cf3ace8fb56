// The glyph font: reading "curses.bit" into the font sheet and cutting the glyph atlas.
#include "display/font.h"

#include <cstdio>

#include "runtime/endings.h"
#include "runtime/streamnames.h"

namespace tarvex {

void loadfont(canvas& surface, pixmap& sheet, image& atlas) {
  std::unique_ptr<TStream> stream = openforread(u"curses.bit");
  if (!stream) {
    // There is no picture to show anything with, so nothing can go on.
    std::fputs("tarvex: cannot open the font file curses.bit\n", stderr);
    endprogram(1);
  }
  loadfont(surface, sheet, atlas, *stream);
}

void loadfont(canvas& surface, pixmap& sheet, image& atlas, TStream& stream) {
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
      surface.GrabFrame(atlas, GLYPHWIDTH * column, GLYPHHEIGHT * row, frame++);
}

} // namespace tarvex
