// Test rig for the interpreter: a machine whose console reads a given input and writes into
// memory, and short descriptions of pointers and queued writes to compare against.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "interp/loader.h"
#include "interp/machine.h"
#include "runtime/console.h"
#include "runtime/filestream.h"

namespace tarvex::testing {

inline std::FILE* filewith(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return file;
}

// "x,y D a,b" (D one of UDLR, a,b the registers), then " on", " new", " s", " rN" for the
// fields that are set.
inline std::string describe(const ip& p) {
  auto num = [](int value) { return std::to_string(value); };
  return num(p.x) + "," + num(p.y) + " " + "UDLR"[p.dir & 3] + " " + num(p.val[0]) + "," +
         num(p.val[1]) + (p.on ? " on" : "") + (p.n ? " new" : "") + (p.printing ? " s" : "") +
         (p.remafter ? " r" + num(p.remafter) : "");
}

// Every live pointer in list order, each followed by "; ".
inline std::string pointers(const machine& m) {
  std::string all;
  m.ips.each([&](const ip& p) { all += describe(p) + "; "; });
  return all;
}

// Every queued write in queue order, as " qx,y=text".
inline std::string queued(const machine& m) {
  std::string all;
  m.writes.each([&](const buf& w) {
    all += " q" + std::to_string(w.x) + "," + std::to_string(w.y) + "=" + lowbytes(w.rep);
  });
  return all;
}

struct rig {
  explicit rig(const std::string& input = "") : in(filewith(input)), con(in, out), m(con) {}
  ~rig() { std::fclose(in), std::fclose(out), std::free(outbytes); }

  std::string output() {
    std::fflush(out);
    return std::string(outbytes, outsize);
  }

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

  // Appends a newborn pointer from a description: "x,y D a,b" then any of " on", " rN", " wN".
  ip& put(const std::string& d) {
    ip& p = m.ips.append();
    char dir = 'U';
    std::sscanf(d.c_str(), "%d,%d %c %hhu,%hhu", &p.x, &p.y, &dir, &p.val[0], &p.val[1]);
    p.dir = static_cast<int32_t>(std::string("UDLR").find(dir));
    p.on = d.find(" on") != std::string::npos;
    for (auto [flag, field] : {std::pair{" r", &p.remafter}, {" w", &p.wait}})
      if (size_t at = d.find(flag); at != std::string::npos)
        *field = static_cast<uint8_t>(std::stoi(d.substr(at + 2)));
    return p;
  }

  std::FILE* in;
  char* outbytes = nullptr;
  size_t outsize = 0;
  std::FILE* out = open_memstream(&outbytes, &outsize);
  console con;
  machine m;
};

} // namespace tarvex::testing
