// Texts and their byte conversions.
#include "runtime/text.h"

#include <cstring>

namespace tarvex {

Text fromcstring(const char* bytes) {
  if (!bytes) return {};
  return frombytes(std::string_view(bytes, std::strlen(bytes)));
}

Text frombytes(std::string_view bytes) {
  Text text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    text[i] = static_cast<unsigned char>(bytes[i]);
  return text;
}

Text chartext(int64_t code) {
  return Text(1, static_cast<char16_t>(code & 0xFFFF));
}

std::string lowbytes(const Text& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char16_t c : text) {
    if ((c & 0xFF) == 0) break;
    bytes.push_back(static_cast<char>(c & 0xFF));
  }
  return bytes;
}

void appendutf8(std::string& bytes, char16_t code) {
  const unsigned c = code;
  if (c < 128) {
    bytes.push_back(static_cast<char>(c));
  } else if (c < 2048) {
    bytes.push_back(static_cast<char>(192 + c / 64));
    bytes.push_back(static_cast<char>(128 + c % 64));
  } else {
    bytes.push_back(static_cast<char>(224 + c / 4096));
    bytes.push_back(static_cast<char>(128 + (c / 64) % 64));
    bytes.push_back(static_cast<char>(128 + c % 64));
  }
}

} // namespace tarvex
