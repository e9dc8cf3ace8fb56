// Arbitrary bytes as the glyph file, then a frame drawn with what they made.
#include "display/canvas.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/machine.h"
#include "runtime/console.h"
#include "runtime/memstream.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static canvas surface;
  static console con(stdin, stdout);
  glyphfont font;
  TMemoryStream file(std::string(reinterpret_cast<const char*>(data), size));
  try {
    loadfont(font, file);
  } catch (const TStreamReadException&) {
    return 0; // an empty file, as at start-up
  }
  machine m(con);
  m.grid.lines.push_back(
      frombytes(std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 90))) +
      u" ");
  m.grid.linecount = 1;
  m.grid.maxlen = static_cast<int64_t>(m.grid.lines[0].size());
  paintframe(surface, font.atlas, m);
  return 0;
}
