// The states the frame and picture benchmarks draw: a grid of printable characters, pointers
// laid out by a rule, and the display set up as the program sets it up.
#pragma once
#include <utility>

#include "display/canvas.h"
#include "display/font.h"
#include "interp/machine.h"

namespace tarvex::bench {

// `lines` lines of `columns` printable characters, each with its trailing space.
inline void fillgrid(machine& m, int lines, int columns) {
  for (int l = 0; l < lines; ++l) {
    Text line;
    for (int c = 0; c < columns; ++c)
      line.push_back(static_cast<char16_t>(33 + (l * columns + c) % 94));
    line.push_back(u' ');
    m.grid.lines.push_back(line);
  }
  m.grid.linecount = lines;
  m.grid.maxlen = columns + 1;
}

// Pointer i at place(i) as an (x, y) pair, heading i % 4, registers i and 255 - i.
template <class Place> void addpointers(machine& m, int count, Place place) {
  for (int i = 0; i < count; ++i) {
    ip& p = m.ips.append();
    std::tie(p.x, p.y) = place(i);
    p.dir = static_cast<uint8_t>(i % 4);
    p.val[0] = static_cast<uint8_t>(i);
    p.val[1] = static_cast<uint8_t>(255 - i % 256);
  }
}

// The shipped font, as at start-up; false without it.
inline bool setupdisplay(canvas&, glyphfont& font) {
  return loadfont(font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"));
}

} // namespace tarvex::bench
