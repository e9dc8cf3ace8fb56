// Texts and names: command-line bytes survive the trip into a text and back, whatever they are.
#include "runtime/text.h"

#include <gtest/gtest.h>

using namespace tarvex;
using namespace std::string_literals;

TEST(text, names_come_back_byte_for_byte_and_decode_only_whole_utf8) {
  // Bytes, the text they name, ("" when it is the bytes as given).
  const std::pair<std::string, Text> rows[] = {
      {"caf\xc3\xa9", u"caf\u00e9"},
      {"\xe0\xa0\x80\xef\xbf\xbf", u"\u0800\uffff"},
      {"caf\xe9", u"caf\xdce9"},                         // a lone Latin-1 byte
      {"\xc0\x80", u"\xdcc0\xdc80"},                     // an overlong zero
      {"\xed\xa0\x80", u"\xdced\xdca0\xdc80"},           // a surrogate's encoding
      {"\xe2\x82", u"\xdce2\xdc82"},                     // cut short
      {"\xf0\x9f\x98\x80", u"\xdcf0\xdc9f\xdc98\xdc80"}, // four bytes: not taken
  };
  for (const auto& [bytes, text] : rows) {
    EXPECT_EQ(fromutf8name(bytes), text) << bytes;
    EXPECT_EQ(utf8name(text), bytes) << bytes;
  }
  EXPECT_EQ(forwardslashes(u"a\\b/c\\"), u"a/b/c/");
  EXPECT_EQ(lowbytes(u"A\u0141B\u0100C"), "AAB"); // codes modulo 256, cut at the first zero
}
