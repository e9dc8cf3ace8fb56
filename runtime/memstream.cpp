// The memory stream's two byte movers.
#include "runtime/memstream.h"

#include <algorithm>
#include <cstring>

namespace tarvex {

int64_t TMemoryStream::Read(uint8_t* buffer, int64_t n) {
  const size_t moved = std::min(static_cast<size_t>(std::max<int64_t>(n, 0)), _bytes.size() - _pos);
  std::memcpy(buffer, _bytes.data() + _pos, moved);
  _pos += moved;
  return static_cast<int64_t>(moved);
}

int64_t TMemoryStream::Write(const uint8_t* buffer, int64_t n) {
  _bytes.append(reinterpret_cast<const char*>(buffer),
                static_cast<size_t>(std::max<int64_t>(n, 0)));
  return n;
}

} // namespace tarvex
