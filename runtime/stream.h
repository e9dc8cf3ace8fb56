// The stream interface every byte source and sink shares, and the runtime errors it raises.
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "runtime/text.h"

namespace tarvex {

// An uncaught runtime error; the host ends the run with `error` on standard error and status 255.
class TRuntimeException : public std::exception {
public:
  explicit TRuntimeException(Text text) : error(std::move(text)) {}
  const char* what() const noexcept override { return "tarvex runtime error"; }
  Text error;
};
class TStreamReadException : public TRuntimeException {
public:
  TStreamReadException() : TRuntimeException(u"Error reading from stream") {}
};
class TStreamWriteException : public TRuntimeException {
public:
  TStreamWriteException() : TRuntimeException(u"Error writing to stream") {}
};

// The defaults are those of a stream that can neither tell its position nor move bytes.
class TStream {
public:
  virtual ~TStream() = default;

  virtual bool Eof() { return Pos() == Size(); }
  virtual int64_t Pos() { return -1; }
  virtual int64_t Size() { return 0; }
  virtual void Flush() {}
  virtual void Close() {}
  // Reads or writes up to n bytes and tells how many moved.
  virtual int64_t Read(uint8_t* buffer, int64_t n);
  virtual int64_t Write(const uint8_t* buffer, int64_t n);

  // Loops over Read/Write until all n bytes moved; a call that moves none raises.
  void ReadBytes(uint8_t* buffer, int64_t n);
  void WriteBytes(const uint8_t* buffer, int64_t n);
  int ReadByte();
  void WriteByte(int byte);

  // One line by takeline's rule, a byte a character.
  virtual Text ReadLine();
};

// The line rule every line reader shares: characters up to a line feed or a zero, carriage
// returns dropped. `next(c)` stores the next character in c, or returns false at the end of
// the data, which ends the line as a line feed would.
template <class Next> Text takeline(Next&& next) {
  Text line;
  for (int c = 0; next(c) && c != 0 && c != 10;)
    if (c != 13) line.push_back(static_cast<char16_t>(c & 0xFFFF));
  return line;
}

// A stream that passes everything to the stream it wraps, which it owns.
class TStreamWrapper : public TStream {
public:
  void SetStream(std::unique_ptr<TStream> stream) { _stream = std::move(stream); }

  bool Eof() override { return _stream->Eof(); }
  int64_t Pos() override { return _stream->Pos(); }
  int64_t Size() override { return _stream->Size(); }
  void Flush() override { _stream->Flush(); }
  void Close() override { _stream->Close(); }
  int64_t Read(uint8_t* buffer, int64_t n) override { return _stream->Read(buffer, n); }
  int64_t Write(const uint8_t* buffer, int64_t n) override { return _stream->Write(buffer, n); }

protected:
  std::unique_ptr<TStream> _stream;
};

} // namespace tarvex
