// Opening by name: plain files, the encoding protocols, and the names that must not open.
#include "runtime/streamnames.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex;

TEST(streamnames, names_open_with_their_protocol_or_give_no_stream) {
  tarvex::testing::tempdir dir;
  std::string prog = dir.file("prog.txt", "\xc3\xa9\r\nx");
  std::string wide = dir.file("wide.txt", std::string("\x00\x41\x20\xac", 4));
  dir.file("sub/code.txt", "sub");
  // The first line read, or null when no stream may be had.
  std::pair<std::string, const char16_t*> rows[] = {
      {prog, u"\u00c3\u00a9"},
      {"utf8::" + prog, u"\u00e9"},
      {"UTF8::" + prog, u"\u00e9"},
      {"latin1::" + prog, u"\u00c3\u00a9"},
      {"utf16be::" + wide, u"A\u20ac"},
      {"utf16le::" + wide, u"\u4100\uac20"},
      {dir.path() + "\\sub\\code.txt", u"sub"},
      {"foo::" + prog, nullptr},
      {"tcp::localhost:80", nullptr},
      {"http::example.com/index.html", nullptr},
      {"incbin::" + prog, nullptr},
      {"", nullptr},
      {dir.path() + "/missing.txt", nullptr},
  };
  for (const auto& [name, line] : rows) {
    std::unique_ptr<TStream> stream = openforread(frombytes(name));
    ASSERT_EQ(stream != nullptr, line != nullptr) << name;
    EXPECT_EQ(stream ? stream->ReadLine() : u"-", line ? line : u"-") << name;
  }
}
