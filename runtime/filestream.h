// File streams over C library handles. The program only ever reads files, so these read.
#pragma once
#include <cstdio>
#include <memory>

#include "runtime/stream.h"

namespace tarvex {

class TCStream : public TStream {
public:
  // No stream (null) when the C library cannot open the path; backslashes become "/".
  static std::unique_ptr<TCStream> OpenFile(const Text& path);
  static std::unique_ptr<TCStream> CreateWithCStream(std::FILE* handle);
  ~TCStream() override;

  int64_t Pos() override { return _pos; }
  int64_t Size() override { return _size; }
  void Close() override;
  int64_t Read(uint8_t* buffer, int64_t n) override;

private:
  int64_t _pos = 0;
  int64_t _size = 0;
  std::FILE* _cstream = nullptr;
};

} // namespace tarvex
