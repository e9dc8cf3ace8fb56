// The glyph font: "curses.bit", a one-bit picture of 256 glyphs, read into the font sheet and cut
// into the glyph atlas, frame n the glyph of character code n.
#pragma once
#include "display/backend/canvas.h"

namespace tarvex {

class TStream;

// The picture in "curses.bit": 16 by 16 glyphs of 8 by 12 pixels, 16 bytes a pixel row.
constexpr int GLYPHWIDTH = 8;
constexpr int GLYPHHEIGHT = 12;
constexpr int SHEETWIDTH = 16 * GLYPHWIDTH;   // 128
constexpr int SHEETHEIGHT = 16 * GLYPHHEIGHT; // 192
constexpr int FONTFILESIZE = SHEETWIDTH / 8 * SHEETHEIGHT;

// Reads "curses.bit" from the working directory into `sheet` (SHEETWIDTH by SHEETHEIGHT, format
// 1), leaves the sheet on the back buffer at (0, 0) and grabs the 256 frames of `atlas` from
// there. A font file that cannot be opened ends the program with status 1 and a message on
// standard error; an empty one raises TStreamReadException.
void loadfont(canvas& surface, pixmap& sheet, image& atlas);
// The same from a stream that is already open. Bytes past the picture are not read; sheet
// pixels a short stream does not reach keep what they held.
void loadfont(canvas& surface, pixmap& sheet, image& atlas, TStream& stream);

} // namespace tarvex
