// Streams opened by name: plain files and the encoding protocols, read line by line, and the
// names that must not open.
#include "runtime/streamnames.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex;
using namespace std::string_literals;

TEST(streamnames, each_name_reads_its_lines_through_its_protocol_or_opens_nothing) {
  tarvex::testing::tempdir dir;
  const std::string file = dir.file("f.txt", "");
  dir.file("sub/code.txt", "sub");
  // Name ("@" stands for the file), the file's bytes, then every line read while not Eof, each
  // followed by "/"; "!" when a read raised, "-" when no stream may be had.
  const std::tuple<std::string, std::string, Text> rows[] = {
      {"@", "a\rb\r\ncd\r", u"ab/cd/"},
      {"@", "a\0b\n"s, u"a/b/"},
      {"@", "", u""},
      {"@", "\xc3\xa9", u"\u00c3\u00a9/"},
      {"utf8::@", "\xc3\xa9\r\nx", u"\u00e9/x/"},
      {"UTF8::@", "\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf", u"\x7f\u0080\u07ff\u0800\uffff/"},
      // Lead bytes 240 to 247 take four bytes and give the replacement character.
      {"utf8::@", "\xf0\x9f\x98\x80\xf7\xbf\xbf\xbf!", u"\ufffd\ufffd!/"},
      {"latin1::@", "\xc3\xa9", u"\u00c3\u00a9/"},
      {"utf16be::@", "\0A\x20\xac\0\r\0\n\0x"s, u"A\u20ac/x/"},
      {"utf16le::@", "A\0\xac\x20"s, u"A\u20ac/"},
      {"utf8::@", "\xe2\x82", u"!"},
      {"utf16le::@", "A", u"!"},
      {dir.path() + "\\sub\\code.txt", "", u"sub/"},
      {"foo::@", "x", u"-"},
      {"", "", u"-"},
      {dir.path() + "/missing.txt", "", u"-"},
  };
  for (auto [name, bytes, lines] : rows) {
    dir.file("f.txt", bytes);
    if (size_t at = name.find('@'); at != std::string::npos) name.replace(at, 1, file);
    std::unique_ptr<TStream> stream = openforread(frombytes(name));
    Text got = stream ? u"" : u"-";
    try {
      while (stream && !stream->Eof())
        got += stream->ReadLine() + u"/";
    } catch (const TStreamReadException&) {
      got += u"!";
    }
    EXPECT_EQ(got, lines) << name;
  }
}
