// The console: the process's standard input and output, and the operations the interpreter,
// the loader and the run sequence use to talk through it.
#pragma once
#include <cstdio>
#include <memory>

#include "runtime/stream.h"
#include "runtime/textstream.h"

namespace tarvex {

// A stream over a standard input and a standard output; never at its end.
class TCStandardIO : public TStream {
public:
  TCStandardIO(std::FILE* in, std::FILE* out) : _in(in), _out(out) {}
  void Flush() override; // a failed flush raises TStreamWriteException
  int64_t Read(uint8_t* buffer, int64_t n) override;
  int64_t Write(const uint8_t* buffer, int64_t n) override;

private:
  std::FILE* _in;
  std::FILE* _out;
};

// One console over a pair of C streams. The program has one over stdin and stdout
// (stdconsole); tests make their own over memory or temporary files.
class console {
public:
  console(std::FILE* in, std::FILE* out);

  // UTF-8 text, "\r\n", flush; raises TStreamWriteException when the output refuses a byte.
  void printline(const Text& text);
  // Writes the prompt, flushes, and returns the next input line (UTF-8, carriage returns
  // dropped); at the end of input it returns what it read, the empty text when nothing.
  Text promptline(const Text& prompt);
  // Low-byte encoding up to the first zero code, then a flush; errors are ignored.
  void consolewrite(const Text& text);
  // One input line read in chunks of 255 bytes; one white space before the line feed is
  // dropped when it lies in the chunk with the line feed. Empty at the end of input.
  Text consoleread();

private:
  std::FILE* _in;
  std::FILE* _out;
  std::unique_ptr<TTextStream> _text; // the standard text stream, UTF-8 over TCStandardIO
};

// The process's console over stdin and stdout, created on first use.
console& stdconsole();

// The console operations of the process, on stdconsole().
void printline(const Text& text);
void consolewrite(const Text& text);

} // namespace tarvex
