// Encoding lines for their file and replacing it whole.
#include "runtime/savenamed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvex {

namespace {

enum class encoding { bytes, utf8, utf16be, utf16le };

std::string hex(char16_t code) {
  char text[8];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}

// Appends `code` in `how`; false when it cannot be held there.
bool encode(std::string& out, char16_t code, encoding how) {
  // A zero ends a line when it is read, and a carriage return is dropped.
  if (code == 0 || code == 10 || code == 13) return false;
  switch (how) {
  case encoding::bytes:
    if (code > 255) return false;
    out.push_back(static_cast<char>(code));
    return true;
  case encoding::utf8:
    // Three bytes at most, as the reader takes them, surrogate codes included.
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    return true;
  case encoding::utf16be:
  case encoding::utf16le: {
    const char high = static_cast<char>(code >> 8), low = static_cast<char>(code & 0xFF);
    out.push_back(how == encoding::utf16be ? high : low);
    out.push_back(how == encoding::utf16be ? low : high);
    return true;
  }
  }
  return false;
}

std::string failure(const std::string& path, const char* what) {
  return "cannot save " + path + ": " + what;
}

} // namespace

std::string savenamed(const Text& name, const std::vector<Text>& lines) {
  encoding how = encoding::bytes;
  Text path = name;
  if (const size_t separator = name.find(u"::"); separator != Text::npos) {
    Text proto = name.substr(0, separator);
    for (char16_t& c : proto)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    path = name.substr(separator + 2);
    if (proto == u"latin1")
      how = encoding::bytes;
    else if (proto == u"utf8")
      how = encoding::utf8;
    else if (proto == u"utf16be")
      how = encoding::utf16be;
    else if (proto == u"utf16le")
      how = encoding::utf16le;
    else
      return failure(utf8name(name), "not a name of one file");
    if (path.find(u"::") != Text::npos) return failure(utf8name(name), "more than one decoding");
  }
  const std::string file = utf8name(path);
  std::string bytes;
  for (size_t y = 0; y < lines.size(); ++y) {
    for (size_t x = 0; x < lines[y].size(); ++x)
      if (!encode(bytes, lines[y][x], how)) {
        const std::string where = "line " + std::to_string(y) + ", column " +
                                  std::to_string(x + 1) + " holds " + hex(lines[y][x]) +
                                  ", which this file's decoding cannot hold";
        return failure(file, where.c_str());
      }
    // The line feed in the file's own encoding.
    if (how == encoding::utf16be) bytes.push_back('\0');
    bytes.push_back('\n');
    if (how == encoding::utf16le) bytes.push_back('\0');
  }
  // A new file beside the old one, renamed over it once it is whole and on the disk.
  const std::string temporary = file + ".saving";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return failure(file, std::strerror(errno));
  // The file keeps who may read and write it.
  if (struct stat old; ::stat(file.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  size_t done = 0;
  int error = 0;
  while (done < bytes.size() && error == 0) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      error = n < 0 ? errno : ENOSPC;
    else
      done += static_cast<size_t>(n);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), file.c_str()) != 0) error = errno;
  if (error != 0) {
    std::remove(temporary.c_str());
    return failure(file, std::strerror(error));
  }
  return "";
}

} // namespace tarvex
