// The console: the process's standard input and output, and the operations the interpreter
// and the hosts use to talk through it.
#pragma once
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

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

  // Every byte handed to the output so far; a copy of each goes to `tap` while one is set.
  int64_t written = 0;
  std::string* tap = nullptr;

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
  // Low-byte encoding up to the first zero code, then a flush; raises TStreamWriteException
  // when the output refuses a byte.
  void consolewrite(const Text& text);
  // One input line read in chunks of 255 bytes; one white space before the line feed is
  // dropped when it lies in the chunk with the line feed. Empty at the end of input.
  Text consoleread();

  // Input lines read again: once kept, every line consoleread returns is held, so that a run
  // that goes back to an earlier tick reads from where that tick stood, the same lines again
  // before any new ones. `inputmark` counts the lines read so far; `rewindinput` goes back
  // to a count it gave. `replaying` tells that the next read needs no new input.
  // `forgetinput` lets the lines before a mark go, once nothing can go back before it.
  void keepinput() { _keeping = true; }
  int64_t inputmark() const { return _forgotten + static_cast<int64_t>(_next); }
  void rewindinput(int64_t mark);
  void forgetinput(int64_t mark);
  bool replaying() const { return _next < _kept.size(); }
  // While quiet, printline and consolewrite drop their text: a run rebuilt from an earlier
  // copy steps again through ticks whose output was written when they were first taken.
  void quiet(bool on) { _quiet = on; }

  // The bytes handed to the output so far, and a string that receives a copy of every byte
  // written from now on (null: none).
  int64_t written() const { return _io->written; }
  void settap(std::string* tap) { _io->tap = tap; }

private:
  Text readline();

  std::FILE* _in;
  std::FILE* _out;
  TCStandardIO* _io;                  // owned by the text stream
  std::unique_ptr<TTextStream> _text; // the standard text stream, UTF-8 over TCStandardIO
  bool _keeping = false;
  bool _quiet = false;
  std::deque<Text> _kept; // the lines read while keeping, but the forgotten ones
  size_t _next = 0;       // the kept line the next read returns; past the end: a new one
  int64_t _forgotten = 0; // lines read before the first kept one
};

// The process's console over stdin and stdout, created on first use.
console& stdconsole();

} // namespace tarvex
