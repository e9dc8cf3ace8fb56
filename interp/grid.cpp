// The code grid's two cell operations.
#include "interp/grid.h"

namespace tarvex {

uint8_t readcell(const codegrid& grid, int64_t x, int64_t y) {
  if (y < 0 || y >= grid.linecount) return 32;
  const Text& line = grid.lines[static_cast<size_t>(y)];
  if (x < 1 || x > static_cast<int64_t>(line.size())) return 32;
  return static_cast<uint8_t>(line[static_cast<size_t>(x - 1)] & 0xFF);
}

void writecell(codegrid& grid, int64_t x, int64_t y, char16_t code) {
  if (y < 0 || x < 0 || y >= grid.linecount) return;
  ++grid.edits;
  Text& line = grid.lines[static_cast<size_t>(y)];
  const int64_t length = static_cast<int64_t>(line.size());
  // Column 0 stands for the first character: the margin itself stores nothing.
  if (x == 0) x = 1;
  if (x > length)
    line.push_back(code), ++grid.chars; // beyond the end: no padding, however far x lies
  else
    line[static_cast<size_t>(x - 1)] = code;
}

} // namespace tarvex
