// Test rig for the interpreter: a machine whose console reads a given input and writes into
// memory, with its grid loaded or laid out by hand.
#pragma once
#include <string>
#include <tuple>
#include <vector>

#include "interp/loader.h"
#include "interp/tick.h"
#include "runtime/memstream.h"
#include "tests/support/memconsole.h"

namespace tarvex::testing {

// A pointer at (x, y) heading `dir` with `current` in register 0 (the current one) and `other`
// in register 1, not stepped yet.
inline ip at(int32_t x, int32_t y, int32_t dir, uint8_t current = 0, uint8_t other = 0) {
  ip p;
  p.x = x, p.y = y, p.dir = static_cast<uint8_t>(dir), p.val[0] = current, p.val[1] = other;
  return p;
}

// Every field of a pointer, for comparing and printing.
inline auto fields(const ip& p) {
  return std::tuple(p.x, p.y, "UDLR"[p.dir & 3], +p.val[0], +p.val[1], +p.on, +p.n, +p.printing,
                    +p.remafter, +p.wait);
}

// Everything a machine holds, as text: each pointer's fields, each queued write, the halt, a
// fault, the pointer limit passed, and the grid with zero codes included.
inline std::string everything(const machine& m) {
  std::string all;
  m.ips.each([&](const ip& p) {
    for (int64_t f : {int64_t{p.x}, int64_t{p.y}, int64_t{p.dir}, int64_t{p.val[0]},
                      int64_t{p.val[1]}, int64_t{p.on}, int64_t{p.n}, int64_t{p.printing},
                      int64_t{p.remafter}, int64_t{p.wait}, p.id})
      all += std::to_string(f) + ",";
    all += ";";
  });
  m.writes.each([&](const buf& w) {
    all += std::to_string(w.x) + "," + std::to_string(w.y) + "=" + lowbytes(Text(1, w.code)) + ";";
  });
  all += "|" + std::to_string(m.halted) + " " + std::to_string(m.fault) + " " +
         std::to_string(m.overcap);
  for (const Text& line : m.grid.lines)
    all += "|" + std::string(line.begin(), line.end());
  return all;
}

struct rig : memconsole {
  explicit rig(const std::string& input = "") : memconsole(input) {}

  void load(const std::string& source) {
    TMemoryStream file(source);
    loadgrid(m, file);
  }
  // The grid with the lines exactly as given.
  void lines(const std::vector<std::string>& stored) {
    m.grid = codegrid{};
    m.grid.linecount = static_cast<int64_t>(stored.size());
    for (const std::string& line : stored) {
      m.grid.lines.push_back(frombytes(line));
      m.grid.maxlen = std::max<int64_t>(m.grid.maxlen, static_cast<int64_t>(line.size()));
    }
    layrows(m.grid);
  }
  std::string line(size_t y) const { return lowbytes(m.grid.lines[y]); }

  ip& put(const ip& p) { return m.ips.append(p); }
  // Up to `limit` whole ticks, as a host without frames runs them; how the run stands then.
  tickoutcome run(int64_t limit) {
    tickoutcome outcome = currentoutcome(m);
    for (int64_t t = 0; t < limit && outcome.state == tickstate::going; ++t)
      endtick(m, outcome = steppass(m));
    return outcome;
  }

  machine m{con};
};

} // namespace tarvex::testing
