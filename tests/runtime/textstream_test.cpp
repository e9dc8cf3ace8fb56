// The text stream: the four encodings in both directions, byte for byte, and its lines.
#include "runtime/textstream.h"

#include <gtest/gtest.h>

#include "tests/runtime/memorystream.h"

using namespace tarvex;
using tarvex::testing::memorystream;

namespace {

std::unique_ptr<TTextStream> over(const std::string& bytes, int encoding) {
  return TTextStream::Create(std::make_unique<memorystream>(bytes), encoding);
}

const std::string& written(TTextStream& text) {
  return static_cast<memorystream*>(text.Stream())->written;
}

// Every character up to the end of the data, each cut to 16 bits as a text keeps it.
std::vector<int> readall(const std::string& bytes, int encoding) {
  auto text = over(bytes, encoding);
  std::vector<int> codes;
  while (!text->Eof())
    codes.push_back(text->ReadChar() & 0xFFFF);
  return codes;
}

} // namespace

TEST(textstream, readchar_decodes_each_encoding) {
  struct row {
    int encoding;
    std::string bytes;
    std::vector<int> codes;
  } rows[] = {
      {LATIN1,
       "\xe9"
       "A\x80",
       {233, 65, 128}},
      {UTF8, "A", {65}},
      {UTF8, "\xc3\xa9", {233}},
      {UTF8, "\xdf\xbf", {2047}},
      {UTF8, "\xe2\x82\xac", {0x20AC}},
      {UTF8, "\xef\xbf\xbf", {0xFFFF}},
      {UTF8, "\xc3(", {104}},      // continuation bytes are taken as they come
      {UTF8, "\x80\x80", {61440}}, // a stray continuation byte still starts a pair
      {UTF8,
       "\xf0\x9f\x98\x80"
       "A",
       {0xFFFD, 65}}, // four-byte sequences read whole
      {UTF8, "\xf7\xbf\xbf\xbf", {0xFFFD}},
      {UTF8,
       "\xf8\x80\x80"
       "A",
       {0, 65}}, // 248 and above: three bytes, code 0
      {UTF8, "\xff\xff\xff", {0}},
      {UTF16BE, std::string("\0A\x20\xac", 4), {65, 0x20AC}},
      {UTF16LE, std::string("A\0\xac\x20", 4), {65, 0x20AC}},
      {UTF16LE, "\xff\xfe", {0xFEFF}}, // no byte-order mark is skipped
  };
  for (const row& r : rows)
    EXPECT_EQ(readall(r.bytes, r.encoding), r.codes) << r.bytes;
}

TEST(textstream, readchar_raises_when_the_data_ends_inside_a_character) {
  struct row {
    int encoding;
    std::string bytes;
  } rows[] = {
      {UTF8, "\xc3"}, {UTF8, "\xe2\x82"}, {UTF8, "\xf0\x9f\x98"}, {UTF8, "\xf8\x80"},
      {UTF16BE, "A"}, {UTF16LE, "A"},     {LATIN1, ""},
  };
  for (const row& r : rows) {
    auto text = over(r.bytes, r.encoding);
    EXPECT_THROW(text->ReadChar(), TStreamReadException) << r.bytes;
  }
}

TEST(textstream, writechar_encodes_each_encoding) {
  struct row {
    int encoding;
    int code;
    std::string bytes;
  } rows[] = {
      {LATIN1, 233, "\xe9"},
      {LATIN1, 0x141, "A"},
      {UTF8, 0, std::string(1, '\0')},
      {UTF8, 127, "\x7f"},
      {UTF8, 128, "\xc2\x80"},
      {UTF8, 233, "\xc3\xa9"},
      {UTF8, 2047, "\xdf\xbf"},
      {UTF8, 2048, "\xe0\xa0\x80"},
      {UTF8, 0x20AC, "\xe2\x82\xac"},
      {UTF8, 0xFFFF, "\xef\xbf\xbf"},
      {UTF8, 0x10041, "A"}, // codes are 16 bits
      {UTF16BE, 0x20AC, "\x20\xac"},
      {UTF16BE, 65, std::string("\0A", 2)},
      {UTF16LE, 0x20AC, "\xac\x20"},
      {UTF16LE, 65, std::string("A\0", 2)},
  };
  for (const row& r : rows) {
    auto text = over({}, r.encoding);
    text->WriteChar(r.code);
    EXPECT_EQ(written(*text), r.bytes) << r.encoding << " " << r.code;
  }
}

TEST(textstream, every_16_bit_code_survives_a_round_trip) {
  for (int encoding : {UTF8, UTF16BE, UTF16LE}) {
    auto out = over({}, encoding);
    for (int code = 0; code < 65536; ++code)
      out->WriteChar(code);
    auto in = over(written(*out), encoding);
    for (int code = 0; code < 65536; ++code) {
      int got = in->ReadChar();
      if (got != code) {
        ADD_FAILURE() << "encoding " << encoding << " code " << code << " came back as " << got;
        break;
      }
    }
    EXPECT_TRUE(in->Eof());
  }
}

TEST(textstream, readline_ends_at_line_feed_or_zero_and_drops_carriage_returns) {
  struct row {
    int encoding;
    std::string bytes;
    std::vector<Text> lines;
  } rows[] = {
      {UTF8, "ab\r\ncd", {u"ab", u"cd"}},
      {UTF8, "a\rb\n", {u"ab"}},
      {UTF8, std::string("a\0b", 3), {u"a", u"b"}},
      {UTF8, "\xc3\xa9\n", {u"\u00e9"}},
      {UTF8, "\xf8\x80\x80z", {u"", u"z"}},
      {UTF8, "\xf0\x9f\x98\x80!", {u"\ufffd!"}},
      {LATIN1, "\xc3\xa9", {u"\u00c3\u00a9"}},
      {UTF16LE, std::string("A\0\r\0\n\0B\0", 8), {u"A", u"B"}},
      {UTF16BE, std::string("\0A\x01\x0a", 4), {u"A\u010a"}},
      {UTF8, "", {}},
  };
  for (const row& r : rows) {
    auto text = over(r.bytes, r.encoding);
    std::vector<Text> lines;
    while (!text->Eof())
      lines.push_back(text->ReadLine());
    EXPECT_EQ(lines, r.lines) << r.bytes;
  }
}

TEST(textstream, writeline_encodes_the_text_and_crlf) {
  auto utf16 = over({}, UTF16LE);
  utf16->WriteLine(u"A");
  EXPECT_EQ(written(*utf16), std::string("A\0\r\0\n\0", 6));

  auto utf8 = over({}, UTF8);
  utf8->WriteLine(u"\u00e9");
  utf8->WriteLine(u"");
  EXPECT_EQ(written(*utf8), "\xc3\xa9\r\n\r\n");
}
