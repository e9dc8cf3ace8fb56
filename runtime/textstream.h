// The text stream: characters to and from bytes in one of four encodings.
#pragma once
#include <memory>

#include "runtime/stream.h"

namespace tarvex {

enum TEncoding : int { LATIN1 = 1, UTF8 = 2, UTF16BE = 3, UTF16LE = 4 };

class TTextStream : public TStreamWrapper {
public:
  static std::unique_ptr<TTextStream> Create(std::unique_ptr<TStream> stream, int encoding);

  // One character; raises TStreamReadException when the data ends inside it.
  int ReadChar();
  void WriteChar(int code);

  // Characters while not Eof, up to 0 or 10, with 13 dropped.
  Text ReadLine() override;
  void WriteLine(const Text& text) override;
  void WriteString(const Text& text) override;

private:
  int _ReadByte() { return _stream->ReadByte(); }
  void _WriteByte(int byte) { _stream->WriteByte(byte); }

  int _encoding = UTF8;
};

} // namespace tarvex
