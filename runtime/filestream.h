// File streams over C library handles.
#pragma once
#include <cstdio>
#include <memory>

#include "runtime/stream.h"

namespace tarvex {

class TCStream : public TStream {
public:
  static constexpr int MODE_READ = 1;
  static constexpr int MODE_WRITE = 2;

  // No stream (null) when the C library cannot open the path; backslashes become "/".
  static std::unique_ptr<TCStream> OpenFile(const Text& path, bool readable, bool writeable);
  static std::unique_ptr<TCStream> CreateWithCStream(std::FILE* handle, int mode);
  ~TCStream() override;

  int64_t Pos() override { return _pos; }
  int64_t Size() override { return _size; }
  void Flush() override;
  void Close() override;
  int64_t Read(uint8_t* buffer, int64_t n) override;
  int64_t Write(const uint8_t* buffer, int64_t n) override;

private:
  int64_t _pos = 0;
  int64_t _size = 0;
  std::FILE* _cstream = nullptr;
  int _mode = 0;
};

} // namespace tarvex
