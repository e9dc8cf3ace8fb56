// The memory console.
#include "session/typedinput.h"

#include <algorithm>

namespace tarvex {

namespace {

std::FILE* overmemory(void* self, const char* mode, cookie_io_functions_t calls) {
  std::FILE* file = fopencookie(self, mode, calls);
  // Unbuffered, so the input the console has read is exactly what left _input: a read that
  // ran ahead could take bytes of a line the run has not reached.
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

} // namespace

typedinput::typedinput()
    : _in(overmemory(this, "r", {readinput, nullptr, nullptr, nullptr})),
      _out(overmemory(this, "w", {nullptr, writeoutput, nullptr, nullptr})),
      _con(std::make_unique<console>(_in, _out)) {}

typedinput::~typedinput() {
  _con.reset();
  std::fclose(_in);
  std::fclose(_out);
}

ssize_t typedinput::readinput(void* self, char* buffer, size_t size) {
  auto* typed = static_cast<typedinput*>(self);
  const size_t moved = std::min(size, typed->_input.size() - typed->_read);
  typed->_input.copy(buffer, moved, typed->_read);
  typed->_read += moved;
  return static_cast<ssize_t>(moved);
}

ssize_t typedinput::writeoutput(void* self, const char* buffer, size_t size) {
  static_cast<typedinput*>(self)->_output.append(buffer, size);
  return static_cast<ssize_t>(size);
}

void typedinput::feed(const std::string& bytes) {
  _input += bytes;
}

void typedinput::endinput() {
  _ended = true;
}

bool typedinput::lineready() const {
  // A read never goes past the first line feed, so one waiting line feed is enough.
  return _ended || _input.find('\n', _read) != std::string::npos;
}

std::string typedinput::takeoutput() {
  std::string taken;
  taken.swap(_output);
  return taken;
}

} // namespace tarvex
