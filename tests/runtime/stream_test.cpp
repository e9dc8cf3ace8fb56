// The shared stream operations: the defaults, the block loops and the byte-wise lines.
#include "runtime/stream.h"

#include <gtest/gtest.h>

#include "tests/runtime/memorystream.h"

using namespace tarvex;
using tarvex::testing::memorystream;

TEST(stream, defaults_move_no_bytes_and_are_never_at_their_end) {
  TStream plain;
  uint8_t byte = 0;
  try {
    plain.Read(&byte, 1);
    FAIL() << "Read moved a byte";
  } catch (const TRuntimeException& e) {
    EXPECT_EQ(e.error, u"Stream is not readable");
  }
  try {
    plain.Write(&byte, 1);
    FAIL() << "Write moved a byte";
  } catch (const TRuntimeException& e) {
    EXPECT_EQ(e.error, u"Stream is not writeable");
  }
  EXPECT_EQ(plain.Pos(), -1);
  EXPECT_EQ(plain.Size(), 0);
  EXPECT_EQ(plain.Seek(0), -1);
  EXPECT_FALSE(plain.Eof());
}

TEST(stream, readbytes_collects_partial_reads_and_raises_when_a_read_moves_nothing) {
  memorystream trickle("abcdef", 1);
  uint8_t buffer[6] = {};
  trickle.ReadBytes(buffer, 6);
  EXPECT_EQ(std::string(buffer, buffer + 6), "abcdef");
  EXPECT_THROW(trickle.ReadByte(), TStreamReadException);

  memorystream shortsource("ab", 2);
  EXPECT_THROW(shortsource.ReadBytes(buffer, 3), TStreamReadException);
}

TEST(stream, readbyte_gives_values_up_to_255) {
  memorystream source("\xff\x80\x01");
  EXPECT_EQ(source.ReadByte(), 255);
  EXPECT_EQ(source.ReadByte(), 128);
  EXPECT_EQ(source.ReadByte(), 1);
}

TEST(stream, writebytes_collects_partial_writes_and_raises_when_a_write_moves_nothing) {
  memorystream sink({}, 2);
  sink.WriteString(u"hello");
  EXPECT_EQ(sink.written, "hello");

  memorystream refusing({}, 0);
  EXPECT_THROW(refusing.WriteByte(65), TStreamWriteException);
}

TEST(stream, writeline_writes_low_bytes_zero_codes_included_then_crlf) {
  memorystream sink;
  sink.WriteLine(Text(u"A\0\u0141\u00e9", 4));
  EXPECT_EQ(sink.written, std::string("A\0A\xe9\r\n", 6));
}

TEST(stream, readline_ends_at_line_feed_zero_or_end_and_drops_every_carriage_return) {
  struct row {
    std::string bytes;
    std::vector<Text> lines; // ReadLine while not Eof
  } rows[] = {
      {"ab\r\ncd", {u"ab", u"cd"}},
      {"a\rb\n", {u"ab"}},
      {std::string("a\0b", 3), {u"a", u"b"}},
      {"ab\n", {u"ab"}},
      {"ab\n\n", {u"ab", u""}},
      {"\r\r\n", {u""}},
      {"\xe9\x80", {u"\u00e9\u0080"}},
      {"", {}},
  };
  for (const row& r : rows) {
    for (int64_t percall : {int64_t{1}, int64_t{1} << 20}) {
      memorystream source(r.bytes, percall);
      std::vector<Text> lines;
      while (!source.Eof())
        lines.push_back(source.ReadLine());
      EXPECT_EQ(lines, r.lines) << r.bytes;
    }
  }
}

TEST(stream, readline_at_the_end_gives_the_empty_text_without_failing) {
  memorystream source("x");
  EXPECT_EQ(source.ReadLine(), u"x");
  EXPECT_EQ(source.ReadLine(), u"");
  EXPECT_EQ(source.ReadLine(), u"");
}

TEST(stream, readline_has_no_length_limit) {
  std::string longline(5000, 'q');
  memorystream source(longline + "\nz");
  EXPECT_EQ(source.ReadLine(), Text(5000, u'q'));
  EXPECT_EQ(source.ReadLine(), u"z");
}
