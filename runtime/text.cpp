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

namespace {
// The codes that carry a stray byte of a name: U+DC80 to U+DCFF.
constexpr unsigned STRAYBYTE = 0xDC00;
} // namespace

void appendutf8(std::string& bytes, char16_t code) {
  const unsigned c = code;
  if (c >= STRAYBYTE + 0x80 && c <= STRAYBYTE + 0xFF) {
    bytes.push_back(static_cast<char>(c - STRAYBYTE));
  } else if (c < 128) {
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

Text fromutf8name(std::string_view bytes) {
  Text name;
  auto at = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
  auto continuation = [&](size_t i) { return i < bytes.size() && (at(i) & 0xC0) == 0x80; };
  for (size_t i = 0; i < bytes.size();) {
    const unsigned lead = at(i);
    unsigned code = 0;
    size_t length = 0;
    if (lead < 0x80) {
      code = lead, length = 1;
    } else if (lead >= 0xC2 && lead < 0xE0 && continuation(i + 1)) {
      code = (lead & 0x1F) << 6 | (at(i + 1) & 0x3F), length = 2;
    } else if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
      code = (lead & 0x0F) << 12 | (at(i + 1) & 0x3F) << 6 | (at(i + 2) & 0x3F), length = 3;
      // Overlong forms and surrogates are not UTF-8; their bytes stay bytes.
      if (code < 0x800 || (code >= 0xD800 && code < 0xE000)) length = 0;
    }
    if (length == 0) {
      // Four-byte sequences have no single 16-bit code either: each byte is kept as itself.
      name.push_back(static_cast<char16_t>(STRAYBYTE + lead));
      ++i;
    } else {
      name.push_back(static_cast<char16_t>(code));
      i += length;
    }
  }
  return name;
}

Text forwardslashes(Text path) {
  for (char16_t& c : path)
    if (c == u'\\') c = u'/';
  return path;
}

std::string utf8name(const Text& name) {
  std::string bytes;
  for (char16_t c : name)
    appendutf8(bytes, c);
  return bytes;
}

} // namespace tarvex
