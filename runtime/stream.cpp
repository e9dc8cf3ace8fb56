// The shared stream operations: the defaults of a stream that moves no bytes, the loops that
// move whole blocks, and the byte-wise line rules.
#include "runtime/stream.h"

#include <string>

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
  // The end of the data ends the line like a line feed: this read never fails.
  std::string bytes;
  uint8_t byte = 0;
  while (Read(&byte, 1) == 1) {
    if (byte == 0 || byte == 10) break;
    if (byte == 13) continue;
    bytes.push_back(static_cast<char>(byte));
  }
  return frombytes(bytes);
}

void TStream::WriteLine(const Text& text) {
  WriteString(text);
  WriteString(u"\r\n");
}

void TStream::WriteString(const Text& text) {
  std::string bytes(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i)
    bytes[i] = static_cast<char>(text[i] & 0xFF);
  WriteBytes(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int64_t>(bytes.size()));
}

} // namespace tarvex
