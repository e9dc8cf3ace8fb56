// A stream over bytes in memory for the stream tests, able to move fewer bytes per call than
// asked, as pipes and terminals do.
#pragma once
#include <algorithm>
#include <string>

#include "runtime/stream.h"

namespace tarvex::testing {

class memorystream : public TStream {
public:
  explicit memorystream(std::string bytes = {}, int64_t percall = 1 << 20)
      : data(std::move(bytes)), _percall(percall) {}

  int64_t Pos() override { return static_cast<int64_t>(_at); }
  int64_t Size() override { return static_cast<int64_t>(data.size()); }
  int64_t Read(uint8_t* buffer, int64_t n) override {
    size_t moved =
        std::min({static_cast<size_t>(n), data.size() - _at, static_cast<size_t>(_percall)});
    std::copy_n(data.data() + _at, moved, buffer);
    _at += moved;
    return static_cast<int64_t>(moved);
  }
  int64_t Write(const uint8_t* buffer, int64_t n) override {
    size_t moved = std::min(static_cast<size_t>(n), static_cast<size_t>(_percall));
    written.append(reinterpret_cast<const char*>(buffer), moved);
    return static_cast<int64_t>(moved);
  }

  std::string data;
  std::string written;

private:
  int64_t _percall;
  size_t _at = 0;
};

} // namespace tarvex::testing
