// The shared stream operations: the defaults of a stream that moves no bytes, the loops that
// move whole blocks, and the byte-wise line reader.
#include "runtime/stream.h"

namespace tarvex {

int64_t TStream::Read(uint8_t*, int64_t) {
  throw TRuntimeException(u"Stream is not readable");
}

int64_t TStream::Write(const uint8_t*, int64_t) {
  throw TRuntimeException(u"Stream is not writeable");
}

void TStream::ReadBytes(uint8_t* buffer, int64_t n) {
  while (n > 0) {
    int64_t moved = Read(buffer, n);
    if (moved <= 0) throw TStreamReadException();
    buffer += moved;
    n -= moved;
  }
}

void TStream::WriteBytes(const uint8_t* buffer, int64_t n) {
  while (n > 0) {
    int64_t moved = Write(buffer, n);
    if (moved <= 0) throw TStreamWriteException();
    buffer += moved;
    n -= moved;
  }
}

int TStream::ReadByte() {
  uint8_t byte = 0;
  ReadBytes(&byte, 1);
  return byte;
}

void TStream::WriteByte(int byte) {
  uint8_t low = static_cast<uint8_t>(byte & 0xFF);
  WriteBytes(&low, 1);
}

Text TStream::ReadLine() {
  // Read, not ReadByte: the end of the data ends the line, so this read never fails.
  return takeline([this](int& c) {
    uint8_t byte = 0;
    if (Read(&byte, 1) != 1) return false;
    c = byte;
    return true;
  });
}

} // namespace tarvex
