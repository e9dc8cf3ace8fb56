// A stream over bytes in memory: read from the start, written at the end. Fuzzers and tests
// load sources, fonts and texts through it without files.
#pragma once
#include <string>

#include "runtime/stream.h"

namespace tarvex {

class TMemoryStream : public TStream {
public:
  explicit TMemoryStream(std::string bytes = {}) : _bytes(std::move(bytes)) {}
  int64_t Pos() override { return static_cast<int64_t>(_pos); }
  int64_t Size() override { return static_cast<int64_t>(_bytes.size()); }
  int64_t Read(uint8_t* buffer, int64_t n) override;
  int64_t Write(const uint8_t* buffer, int64_t n) override;
  const std::string& bytes() const { return _bytes; }

private:
  std::string _bytes;
  size_t _pos = 0;
};

} // namespace tarvex
