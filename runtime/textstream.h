// The text stream: characters read from bytes in one of four encodings, written as UTF-8.
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
  // UTF-8 whatever the encoding: the console's is the only text stream ever written to.
  void WriteChar(int code);

  // One line by takeline's rule; the end of the data is Eof, tested before each character.
  Text ReadLine() override;
  // The text followed by carriage return and line feed.
  void WriteLine(const Text& text);
  void WriteString(const Text& text);

private:
  int _encoding = UTF8;
};

} // namespace tarvex
