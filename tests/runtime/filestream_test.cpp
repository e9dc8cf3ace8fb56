// File streams: the line rules of real files.
#include "runtime/filestream.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex;
using namespace std::string_literals;

TEST(filestream, lines_end_at_feed_or_zero_with_every_carriage_return_dropped) {
  tarvex::testing::tempdir dir;
  // Each line read is followed by "$" when Eof is then true, "/" when not.
  std::pair<std::string, Text> rows[] = {
      {"a\rb\r\ncd\r", u"ab/cd$"}, {"a\0b"s, u"a/b$"}, {"ab\n", u"ab$"}, {"", u""}};
  for (const auto& [bytes, log] : rows) {
    auto file = TCStream::OpenFile(frombytes(dir.file("lines.txt", bytes)));
    ASSERT_TRUE(file);
    Text got;
    while (!file->Eof()) {
      got += file->ReadLine();
      got += file->Eof() ? u"$" : u"/";
    }
    EXPECT_EQ(got, log) << bytes;
  }
}
