// The glyph font: "curses.bit", a one-bit picture of 256 glyphs, read into the glyph atlas,
// frame n the glyph of character code n.
#pragma once
#include "display/canvas.h"
#include "runtime/text.h"

namespace tarvex {

class TStream;

// The picture in "curses.bit": 16 by 16 glyphs of 8 by 12 pixels, 16 bytes a pixel row, a
// clear bit ink.
constexpr int GLYPHWIDTH = image::WIDTH;
constexpr int GLYPHHEIGHT = image::HEIGHT;
constexpr int SHEETWIDTH = 16 * GLYPHWIDTH;   // 128
constexpr int SHEETHEIGHT = 16 * GLYPHHEIGHT; // 192
constexpr int FONTFILESIZE = SHEETWIDTH / 8 * SHEETHEIGHT;

struct glyphfont {
  image atlas;
};

// Opens the font file `name` and reads it into the atlas. False when the file cannot be opened;
// an empty one raises TStreamReadException.
bool loadfont(glyphfont& font, const Text& name);
// The same from a stream that is already open. Bytes past the picture are not read; pixels a
// short stream does not reach are blank.
void loadfont(glyphfont& font, TStream& stream);

} // namespace tarvex
