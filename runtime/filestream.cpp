// File streams over C library handles, with 64-bit positions so large files do not wrap.
#include "runtime/filestream.h"

#include <sys/stat.h>

#include <string>

namespace tarvex {

namespace {

// File names are UTF-8, as the command line that gave them (fromutf8name). False for a name
// that cannot be a file name (a zero code would cut it).
bool filesystemname(const Text& path, std::string& name) {
  if (path.find(u'\0') != Text::npos) return false;
  name = utf8name(forwardslashes(path));
  return true;
}

} // namespace

std::unique_ptr<TCStream> TCStream::OpenFile(const Text& path) {
  std::string name;
  if (!filesystemname(path, name)) return nullptr;
  std::FILE* handle = std::fopen(name.c_str(), "rb");
  if (!handle) return nullptr;
  // The C library opens a directory for reading, but no byte can be read from it while its
  // size says there are some, and a reader looping until the end would never get there.
  struct stat status {};
  if (fstat(fileno(handle), &status) == 0 && S_ISDIR(status.st_mode)) {
    std::fclose(handle);
    return nullptr;
  }
  return CreateWithCStream(handle);
}

std::unique_ptr<TCStream> TCStream::CreateWithCStream(std::FILE* handle) {
  std::unique_ptr<TCStream> stream(new TCStream());
  // A handle that cannot tell its position (a pipe, a terminal) says so with a position of -1,
  // and the one who opened it by name reads it whole; one whose end lies before where it
  // stands counts as empty rather than as a stream whose end can never be reached.
  int64_t pos = ftello(handle);
  int64_t size = pos;
  if (pos >= 0 && fseeko(handle, 0, SEEK_END) == 0) size = ftello(handle);
  if (pos < 0)
    size = 0;
  else if (size < pos)
    pos = size = 0;
  else
    fseeko(handle, pos, SEEK_SET);
  stream->_pos = pos;
  stream->_size = size;
  stream->_cstream = handle;
  return stream;
}

TCStream::~TCStream() {
  Close();
}

void TCStream::Close() {
  if (!_cstream) return;
  std::fclose(_cstream);
  _cstream = nullptr;
  _pos = 0;
  _size = 0;
}

int64_t TCStream::Read(uint8_t* buffer, int64_t n) {
  if (!_cstream || n <= 0) return 0;
  auto moved = static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(n), _cstream));
  _pos += moved;
  return moved;
}

} // namespace tarvex
