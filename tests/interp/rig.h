// Test rig for the interpreter: a machine whose console reads a given input and writes into
// memory, a stream over bytes, and helpers to lay out grids and pointers.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "interp/machine.h"
#include "runtime/console.h"
#include "runtime/stream.h"

namespace tarvex::testing {

// Bytes as a text, one character per byte.
inline Text T(const std::string& bytes) {
  return frombytes(bytes);
}

// The low bytes of a text, for readable comparisons.
inline std::string S(const Text& text) {
  std::string bytes;
  for (char16_t c : text)
    bytes.push_back(static_cast<char>(c & 0xFF));
  return bytes;
}

// A stream over bytes in memory.
class bytestream : public TStream {
public:
  explicit bytestream(std::string bytes) : data(std::move(bytes)) {}
  int64_t Pos() override { return pos; }
  int64_t Size() override { return static_cast<int64_t>(data.size()); }
  int64_t Read(uint8_t* buffer, int64_t n) override {
    int64_t moved = std::min<int64_t>(n, Size() - pos);
    std::memcpy(buffer, data.data() + pos, static_cast<size_t>(moved));
    pos += moved;
    return moved;
  }
  void Close() override { closed = true; }

  std::string data;
  int64_t pos = 0;
  bool closed = false;
};

inline std::FILE* inputfile(const std::string& input) {
  std::FILE* in = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  return in;
}

struct rig {
  explicit rig(const std::string& input = "")
      : in(inputfile(input)), out(open_memstream(&outbytes, &outsize)), con(in, out), m(con) {}
  ~rig() {
    std::fclose(in);
    std::fclose(out);
    std::free(outbytes);
  }
  rig(const rig&) = delete;
  rig& operator=(const rig&) = delete;

  // Everything the machine wrote to its console so far.
  std::string output() {
    std::fflush(out);
    return std::string(outbytes, outsize);
  }

  // Lays out the grid exactly as given (each line as stored, trailing space included);
  // maxlen is the longest line unless given.
  void lines(const std::vector<std::string>& stored, int64_t maxlen = -1) {
    m.grid = codegrid{};
    for (const std::string& line : stored) {
      m.grid.lines.push_back(T(line));
      m.grid.maxlen = std::max<int64_t>(m.grid.maxlen, static_cast<int64_t>(line.size()));
    }
    m.grid.linecount = static_cast<int64_t>(stored.size());
    if (maxlen >= 0) m.grid.maxlen = maxlen;
  }

  std::string line(int64_t y) const { return S(m.grid.lines[static_cast<size_t>(y)]); }

  // Appends a pointer as a split would, with n = 1.
  ip& put(int32_t x, int32_t y, int32_t dir, uint8_t current = 0, uint8_t other = 0) {
    ip& p = m.ips.append();
    p.x = x;
    p.y = y;
    p.dir = dir;
    p.val[0] = current;
    p.val[1] = other;
    return p;
  }

  std::FILE* in;
  char* outbytes = nullptr;
  size_t outsize = 0;
  std::FILE* out;
  console con;
  machine m;
};

// Every field of a pointer, for comparing pointer lists.
inline std::string describe(const ip& p) {
  return "(x" + std::to_string(p.x) + " y" + std::to_string(p.y) + " d" + std::to_string(p.dir) +
         " v" + std::to_string(p.val[0]) + "," + std::to_string(p.val[1]) + " on" +
         std::to_string(p.on) + " n" + std::to_string(p.n) + " s" + std::to_string(p.printing) +
         " r" + std::to_string(p.remafter) + " w" + std::to_string(p.wait) + " k" +
         std::to_string(p.key) + ")";
}

inline std::vector<std::string> pointers(const machine& m) {
  std::vector<std::string> all;
  m.ips.each([&](const ip& p) { all.push_back(describe(p)); });
  return all;
}

inline std::vector<std::string> queued(const machine& m) {
  std::vector<std::string> all;
  m.writes.each([&](const buf& w) {
    all.push_back(std::to_string(w.x) + "," + std::to_string(w.y) + ":" + S(w.rep));
  });
  return all;
}

} // namespace tarvex::testing
