// Source loading.
#include "interp/loader.h"

#include <algorithm>

#include "interp/spread.h"
#include "runtime/streamnames.h"

namespace tarvex {

void loadgrid(machine& m, TStream& source) {
  codegrid& grid = m.grid;
  grid = codegrid{};
  // The end is tested after each line, never before the first: an empty file still gives one
  // line, and a line feed at the very end adds no empty line.
  do {
    Text line = source.ReadLine();
    line.push_back(u' ');
    ++grid.linecount;
    grid.maxlen = std::max(grid.maxlen, static_cast<int64_t>(line.size()));
    grid.chars += static_cast<int64_t>(line.size());
    grid.lines.push_back(std::move(line));
  } while (!source.Eof());
  layrows(grid);

  for (size_t y = 0; y < grid.lines.size(); ++y) {
    const Text& line = grid.lines[y];
    for (size_t x = 1; x <= line.size(); ++x)
      if (line[x - 1] == u'%')
        spread(m, static_cast<int32_t>(x), static_cast<int32_t>(y), -1, 0, 0, 0, 0);
  }
}

bool loadsource(machine& m, const Text& codefile) {
  return readnamed(codefile, [&m](TStream& source) { loadgrid(m, source); });
}

} // namespace tarvex
