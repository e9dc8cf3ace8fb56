// The code grid's two cell operations.
#include "interp/grid.h"

#include <algorithm>
#include <cstddef>

namespace tarvex {

uint8_t readcell(const codegrid& grid, int64_t x, int64_t y) {
  if (y < 0 || y >= grid.linecount) return 32;
  const Text& line = grid.lines[static_cast<size_t>(y)];
  if (x < 1 || x > static_cast<int64_t>(line.size())) return 32;
  return static_cast<uint8_t>(line[static_cast<size_t>(x - 1)] & 0xFF);
}

namespace {

int64_t colon(char16_t code) {
  return code == u':' ? 1 : 0;
}

// Counts a change to line y, made by `change` (which returns how many ":" cells it added),
// and keeps the line's row when the rows were current: the program's writes then cost no
// laying out of all the rows at the next pass.
template <class Change> void changeline(codegrid& grid, int64_t y, Change change) {
  const bool current = grid.rows.at == grid.edits;
  ++grid.edits;
  Text& line = grid.lines[static_cast<size_t>(y)];
  const int64_t colons = change(line);
  if (!current) return;
  grid.rows.rows[static_cast<size_t>(y)] = {line.data(), static_cast<int64_t>(line.size())};
  grid.rows.colons += colons;
  grid.rows.at = grid.edits;
}

} // namespace

void relayrows(codegrid& grid) {
  grid.rows.rows.clear();
  grid.rows.rows.reserve(grid.lines.size());
  grid.rows.colons = 0;
  for (const Text& line : grid.lines) {
    grid.rows.rows.push_back({line.data(), static_cast<int64_t>(line.size())});
    grid.rows.colons += std::count(line.begin(), line.end(), u':');
  }
  grid.rows.at = grid.edits;
}

void writecell(codegrid& grid, int64_t x, int64_t y, char16_t code) {
  if (y < 0 || x < 0 || y >= grid.linecount) return;
  // Column 0 stands for the first character: the margin itself stores nothing.
  if (x == 0) x = 1;
  changeline(grid, y, [&](Text& line) {
    if (x > static_cast<int64_t>(line.size())) {
      line.push_back(code), ++grid.chars; // beyond the end: no padding, however far x lies
      return colon(code);
    }
    char16_t& cell = line[static_cast<size_t>(x - 1)];
    const int64_t added = colon(code) - colon(cell);
    cell = code;
    return added;
  });
}

void lengthen(codegrid& grid, int64_t y) {
  changeline(grid, y, [&](Text& line) {
    line.append(u"  "), grid.chars += 2;
    return int64_t{0};
  });
}

namespace {

// The longest line only grows, as the program's own writes leave it: pointers far out on a
// short line keep the bounds they had, and a line an edit made longer widens them.
void keep(codegrid& grid, Text& into, Text line) {
  grid.chars += static_cast<int64_t>(line.size()) - static_cast<int64_t>(into.size());
  grid.maxlen = std::max(grid.maxlen, static_cast<int64_t>(line.size()));
  into = std::move(line);
}

void growto(codegrid& grid, int64_t lines) {
  while (static_cast<int64_t>(grid.lines.size()) < lines) {
    grid.lines.emplace_back();
    keep(grid, grid.lines.back(), u" ");
  }
  grid.linecount = static_cast<int64_t>(grid.lines.size());
}

} // namespace

void placecell(codegrid& grid, int64_t x, int64_t y, char16_t code) {
  if (x < 1 || y < 0) return;
  ++grid.edits;
  growto(grid, y + 1);
  Text line = grid.lines[static_cast<size_t>(y)];
  // A character on the line's last column or past it gets the trailing space after it.
  if (x >= static_cast<int64_t>(line.size())) line.resize(static_cast<size_t>(x) + 1, u' ');
  line[static_cast<size_t>(x - 1)] = code;
  keep(grid, grid.lines[static_cast<size_t>(y)], std::move(line));
}

void placelines(codegrid& grid, int64_t first, int64_t count, const std::vector<Text>& texts) {
  if (first < 0 || count < 0) return;
  ++grid.edits;
  growto(grid, first);
  const int64_t gone = std::min<int64_t>(count, static_cast<int64_t>(grid.lines.size()) - first);
  for (int64_t y = first; y < first + gone; ++y)
    grid.chars -= static_cast<int64_t>(grid.lines[static_cast<size_t>(y)].size());
  // Offsets as the vector counts them: 32 bits in the browser's build.
  const auto from = grid.lines.begin() + static_cast<std::ptrdiff_t>(first);
  grid.lines.erase(from, from + static_cast<std::ptrdiff_t>(gone));
  grid.lines.insert(grid.lines.begin() + static_cast<std::ptrdiff_t>(first), texts.size(), Text{});
  for (size_t i = 0; i < texts.size(); ++i)
    keep(grid, grid.lines[static_cast<size_t>(first) + i], texts[i] + u" ");
  // A grid holds at least one line, as an empty source gives.
  growto(grid, 1);
  grid.linecount = static_cast<int64_t>(grid.lines.size());
}

} // namespace tarvex
