// Test rig for the interpreter: a machine whose console reads a given input and writes into
// memory, with its grid loaded or laid out by hand.
#pragma once
#include <string>
#include <tuple>
#include <vector>

#include "interp/loader.h"
#include "runtime/filestream.h"
#include "tests/support/memconsole.h"

namespace tarvex::testing {

// A pointer at (x, y) heading `dir` with `current` in register 0 (the current one) and `other`
// in register 1, not stepped yet.
inline ip at(int32_t x, int32_t y, int32_t dir, uint8_t current = 0, uint8_t other = 0) {
  ip p;
  p.x = x, p.y = y, p.dir = dir, p.val[0] = current, p.val[1] = other;
  return p;
}

// Every field of a pointer, for comparing and printing.
inline auto fields(const ip& p) {
  return std::tuple(p.x, p.y, "UDLR"[p.dir & 3], +p.val[0], +p.val[1], p.on, p.n, +p.printing,
                    +p.remafter, +p.wait);
}

struct rig : memconsole {
  explicit rig(const std::string& input = "") : memconsole(input) {}

  void load(const std::string& source) {
    loadgrid(m, *TCStream::CreateWithCStream(filewith(source)));
  }
  // The grid with the lines exactly as given.
  void lines(const std::vector<std::string>& stored) {
    m.grid = codegrid{{}, static_cast<int64_t>(stored.size()), 0};
    for (const std::string& line : stored) {
      m.grid.lines.push_back(frombytes(line));
      m.grid.maxlen = std::max<int64_t>(m.grid.maxlen, static_cast<int64_t>(line.size()));
    }
  }
  std::string line(size_t y) const { return lowbytes(m.grid.lines[y]); }

  ip& put(const ip& p) { return m.ips.append(p); }

  machine m{con};
};

} // namespace tarvex::testing
