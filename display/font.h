// The glyph font: "curses.bit", a one-bit picture of 256 glyphs, read into the font sheet and cut
// into the glyph atlas, frame n the glyph of character code n.
#pragma once
#include "display/canvas.h"
#include "runtime/text.h"

namespace tarvex {

class TStream;

// The picture in "curses.bit": 16 by 16 glyphs of 8 by 12 pixels, 16 bytes a pixel row.
constexpr int GLYPHWIDTH = 8;
constexpr int GLYPHHEIGHT = 12;
constexpr int SHEETWIDTH = 16 * GLYPHWIDTH;   // 128
constexpr int SHEETHEIGHT = 16 * GLYPHHEIGHT; // 192
constexpr int FONTFILESIZE = SHEETWIDTH / 8 * SHEETHEIGHT;

// The font as the run sequence makes it: the sheet the file is read into (format 1) and the
// 256-frame glyph atlas cut from it.
struct glyphfont {
  pixmap sheet;
  image atlas;
};
glyphfont makefont(canvas& surface);

// Opens the font file `name`, reads it into the sheet, leaves the sheet on the back buffer at
// (0, 0) and grabs the 256 frames of the atlas from there. False when the file cannot be
// opened; an empty one raises TStreamReadException.
bool loadfont(canvas& surface, glyphfont& font, const Text& name);
// The same from a stream that is already open. Bytes past the picture are not read; sheet
// pixels a short stream does not reach keep what they held.
void loadfont(canvas& surface, glyphfont& font, TStream& stream);

} // namespace tarvex
