// Number text: decimal, "$" hexadecimal and "%" binary texts to integers, and back.
#include "runtime/numtext.h"

namespace tarvex {

namespace {

bool iswhite(char16_t c) {
  return (c >= 9 && c <= 13) || c == 32;
}

// The digit's value in the given base, or -1 when the character is not one of its digits.
int digitvalue(char16_t c, int base) {
  int value = -1;
  if (c >= u'0' && c <= u'9')
    value = c - u'0';
  else if (c >= u'A' && c <= u'F')
    value = c - u'A' + 10;
  else if (c >= u'a' && c <= u'f')
    value = c - u'a' + 10;
  return value < base ? value : -1;
}

} // namespace

int32_t toint(const Text& text) {
  size_t i = 0;
  while (i < text.size() && iswhite(text[i]))
    ++i;
  if (i == text.size()) return 0;
  char16_t sign = text[i];
  if (sign == u'+' || sign == u'-') ++i;
  if (i == text.size()) return 0;

  int base = 10;
  if (text[i] == u'%')
    base = 2, ++i;
  else if (text[i] == u'$')
    base = 16, ++i;

  // Unsigned arithmetic keeps the wrap-around modulo 2^32 well defined.
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    int digit = digitvalue(text[i], base);
    if (digit < 0) break;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  if (sign == u'-') value = 0u - value;
  return static_cast<int32_t>(value);
}

Text decimaltext(int32_t n) {
  // Widened first, so the most negative value has a magnitude to print.
  int64_t magnitude = n < 0 ? -static_cast<int64_t>(n) : n;
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude > 0);
  if (n < 0) digits.insert(digits.begin(), u'-');
  return digits;
}

} // namespace tarvex
