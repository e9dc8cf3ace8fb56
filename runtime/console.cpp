// The console: status lines and prompts through the UTF-8 standard text stream, and the raw
// byte output and line input of the interpreted program, all over one pair of C streams.
#include "runtime/console.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarvex {

void TCStandardIO::Flush() {
  // A flush the output refuses means bytes were lost, which is a refused write.
  if (std::fflush(_out) != 0) throw TStreamWriteException();
}

int64_t TCStandardIO::Read(uint8_t* buffer, int64_t n) {
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(n), _in));
}

int64_t TCStandardIO::Write(const uint8_t* buffer, int64_t n) {
  written += n;
  if (tap) tap->append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(n), _out));
}

namespace {
std::unique_ptr<TTextStream> standardtext(std::FILE* in, std::FILE* out, TCStandardIO*& io) {
  auto standard = std::make_unique<TCStandardIO>(in, out);
  io = standard.get();
  return TTextStream::Create(std::move(standard), UTF8);
}
} // namespace

console::console(std::FILE* in, std::FILE* out)
    : _in(in), _out(out), _io(nullptr), _text(standardtext(in, out, _io)) {}

void console::printline(const Text& text) {
  if (_quiet) return;
  _text->WriteLine(text);
  _text->Flush();
}

Text console::promptline(const Text& prompt) {
  _text->WriteString(prompt);
  _text->Flush();
  // The standard stream is never at its end, so the end of the input shows only as a read
  // that fails; it ends the line with what arrived before it.
  return takeline([this](int& c) {
    try {
      c = _text->ReadChar();
      return true;
    } catch (const TStreamReadException&) {
      return false;
    }
  });
}

void console::consolewrite(const Text& text) {
  if (_quiet) return;
  const std::string bytes = lowbytes(text);
  const auto size = static_cast<int64_t>(bytes.size());
  // Output that cannot be delivered ends the run like a refused status line: bytes the
  // program wrote must not vanish while the run goes on as if they had arrived.
  if (_io->Write(reinterpret_cast<const uint8_t*>(bytes.data()), size) != size ||
      std::fflush(_out) != 0)
    throw TStreamWriteException();
}

void console::rewindinput(int64_t mark) {
  _next = std::min(static_cast<size_t>(std::max<int64_t>(mark - _forgotten, 0)), _kept.size());
}

void console::forgetinput(int64_t mark) {
  const auto gone =
      static_cast<size_t>(std::clamp<int64_t>(mark - _forgotten, 0, static_cast<int64_t>(_next)));
  _kept.erase(_kept.begin(), _kept.begin() + static_cast<std::ptrdiff_t>(gone));
  _next -= gone;
  _forgotten += static_cast<int64_t>(gone);
}

Text console::consoleread() {
  if (_next < _kept.size()) return _kept[_next++];
  Text line = readline();
  if (_keeping) {
    _kept.push_back(line);
    _next = _kept.size();
  }
  return line;
}

Text console::readline() {
  constexpr int AREA = 256;
  std::string line;
  for (;;) {
    char area[AREA];
    if (!std::fgets(area, AREA, _in)) area[0] = '\0';
    // Only the bytes before the first zero count, even when fgets read further.
    size_t length = std::strlen(area);
    const char* feed = static_cast<const char*>(std::memchr(area, '\n', length));
    size_t kept = length;
    if (feed) {
      kept = static_cast<size_t>(feed - area);
      // One white space right before the line feed goes, but only within this chunk.
      if (kept > 0) {
        unsigned char last = static_cast<unsigned char>(area[kept - 1]);
        if ((last >= 9 && last <= 13) || last == 32) --kept;
      }
    }
    line.append(area, kept);
    if (kept < AREA - 1) break;
  }
  return frombytes(line);
}

console& stdconsole() {
  static console standard(stdin, stdout);
  return standard;
}

} // namespace tarvex
