// The text stream: characters read and written in LATIN1, UTF8, UTF16BE or UTF16LE over
// the stream it wraps, one byte at a time.
#include "runtime/textstream.h"

namespace tarvex {

std::unique_ptr<TTextStream> TTextStream::Create(std::unique_ptr<TStream> stream, int encoding) {
  auto text = std::make_unique<TTextStream>();
  text->SetStream(std::move(stream));
  text->_encoding = encoding;
  return text;
}

// The code is returned as computed from the bytes; continuation bytes are not checked, so a
// malformed sequence can give a value outside 0..65535, which the text keeps modulo 65536.
int TTextStream::ReadChar() {
  int a = ReadByte();
  switch (_encoding) {
  case UTF8: {
    if (a < 128) return a;
    if (a < 224) {
      int b = ReadByte();
      return (a - 192) * 64 + (b - 128);
    }
    if (a < 240) {
      int b = ReadByte();
      int c = ReadByte();
      return (a - 224) * 4096 + (b - 128) * 64 + (c - 128);
    }
    if (a < 248) {
      // A four-byte sequence names a character beyond 16 bits: take all of it, so no
      // continuation byte is left behind to be read as a character of its own.
      ReadByte();
      ReadByte();
      ReadByte();
      return 0xFFFD;
    }
    ReadByte();
    ReadByte();
    return 0;
  }
  case UTF16BE: {
    int b = ReadByte();
    return a * 256 + b;
  }
  case UTF16LE: {
    int b = ReadByte();
    return a + b * 256;
  }
  default: return a;
  }
}

void TTextStream::WriteChar(int code) {
  std::string bytes;
  appendutf8(bytes, static_cast<char16_t>(code & 0xFFFF));
  for (char b : bytes)
    WriteByte(static_cast<unsigned char>(b));
}

Text TTextStream::ReadLine() {
  return takeline([this](int& c) {
    if (Eof()) return false;
    c = ReadChar();
    return true;
  });
}

void TTextStream::WriteLine(const Text& text) {
  WriteString(text);
  WriteString(u"\r\n");
}

void TTextStream::WriteString(const Text& text) {
  for (char16_t c : text)
    WriteChar(c);
}

} // namespace tarvex
