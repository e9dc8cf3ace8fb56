// File streams: line and byte reading of real files, positions, closing and file names.
#include "runtime/filestream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/process.h"

using namespace tarvex;
using namespace tarvex::testing;

namespace {

Text textof(const std::string& bytes) {
  return frombytes(bytes);
}

std::unique_ptr<TCStream> openread(const std::string& path) {
  return TCStream::OpenFile(textof(path), true, false);
}

} // namespace

TEST(filestream, lines_end_at_feed_or_zero_with_every_carriage_return_dropped) {
  tempdir dir;
  struct row {
    std::string bytes;
    std::vector<Text> lines;
    std::vector<bool> eofafter;
  } rows[] = {
      {"ab\r\ncd", {u"ab", u"cd"}, {false, true}},
      {"a\rb\n", {u"ab"}, {true}},
      {std::string("a\0b", 3), {u"a", u"b"}, {false, true}},
      {"ab\n", {u"ab"}, {true}},
      {"ab\n\n", {u"ab", u""}, {false, true}},
      {"\xe9\n", {u"\u00e9"}, {true}},
      {"\xc3\xa9", {u"\u00c3\u00a9"}, {true}},
      {std::string(3000, 'k') + "\nz", {Text(3000, u'k'), u"z"}, {false, true}},
  };
  for (const row& r : rows) {
    auto file = openread(dir.file("lines.txt", r.bytes));
    ASSERT_TRUE(file);
    std::vector<Text> lines;
    std::vector<bool> eofafter;
    while (!file->Eof()) {
      lines.push_back(file->ReadLine());
      eofafter.push_back(file->Eof());
    }
    EXPECT_EQ(lines, r.lines) << r.bytes;
    EXPECT_EQ(eofafter, r.eofafter) << r.bytes;
  }
}

TEST(filestream, empty_file_is_at_its_end_at_once_and_reads_an_empty_line) {
  tempdir dir;
  auto file = openread(dir.file("empty.txt", ""));
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Eof());
  EXPECT_EQ(file->ReadLine(), u"");
  EXPECT_THROW(file->ReadByte(), TStreamReadException);
}

TEST(filestream, readbyte_loop_yields_each_byte_once_and_one_more_raises) {
  tempdir dir;
  auto file = openread(dir.file("three.bin", std::string("\x01\xff\x00", 3)));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 3);
  std::vector<int> bytes;
  while (!file->Eof())
    bytes.push_back(file->ReadByte());
  EXPECT_EQ(bytes, (std::vector<int>{1, 255, 0}));
  EXPECT_EQ(file->Pos(), 3);
  EXPECT_THROW(file->ReadByte(), TStreamReadException);
}

TEST(filestream, readbyte_past_the_end_ends_the_process_with_the_read_error) {
  tempdir dir;
  std::string path = dir.file("three.bin", "abc");
  outcome r = run({.program = TARVEX_DRIVER, .args = {"readbytes", path}, .timeoutseconds = 10});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "97 98 99 ");
  EXPECT_EQ(r.err, "Error reading from stream");
}

TEST(filestream, close_forgets_position_and_size_and_a_second_close_does_nothing) {
  tempdir dir;
  auto file = openread(dir.file("f.txt", "hello"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadLine(), u"hello");
  file->Close();
  EXPECT_EQ(file->Pos(), 0);
  EXPECT_EQ(file->Size(), 0);
  EXPECT_TRUE(file->Eof());
  file->Close();
  EXPECT_THROW(file->ReadByte(), TStreamReadException);
}

TEST(filestream, size_is_measured_once_at_open) {
  tempdir dir;
  std::string path = dir.file("grow.txt", "ab");
  auto file = openread(path);
  ASSERT_TRUE(file);
  dir.file("grow.txt", "abcdef");
  EXPECT_EQ(file->Size(), 2);
}

TEST(filestream, names_that_cannot_be_opened_give_no_stream) {
  tempdir dir;
  dir.file("real.txt", "x");
  EXPECT_FALSE(openread(dir.path() + "/missing.txt"));
  EXPECT_FALSE(openread(dir.path())); // a directory holds no bytes to read
  // A zero code would cut the name short and open another file.
  EXPECT_FALSE(
      TCStream::OpenFile(textof(dir.path() + "/real.txt") + Text(1, u'\0') + u"x", true, false));
}

TEST(filestream, backslashes_in_a_name_are_directory_separators) {
  tempdir dir;
  dir.file("sub/code.txt", "inner");
  auto file = openread(dir.path() + "\\sub\\code.txt");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadLine(), u"inner");
}

TEST(filestream, names_map_byte_codes_to_the_same_bytes_and_larger_codes_to_utf8) {
  tempdir dir;
  dir.file("caf\xe9.txt", "bytewise");
  dir.file("\xe2\x82\xac.txt", "euro");
  // A name made from argument bytes, one character per byte, opens the file of those bytes.
  auto bytewise = TCStream::OpenFile(textof(dir.path() + "/caf\xe9.txt"), true, false);
  ASSERT_TRUE(bytewise);
  EXPECT_EQ(bytewise->ReadLine(), u"bytewise");
  auto euro = TCStream::OpenFile(textof(dir.path() + "/") + u"\u20ac.txt", true, false);
  ASSERT_TRUE(euro);
  EXPECT_EQ(euro->ReadLine(), u"euro");
}

TEST(filestream, write_modes_create_and_update_files) {
  tempdir dir;
  std::string path = dir.path() + "/out.bin";
  {
    auto writer = TCStream::OpenFile(textof(path), false, true);
    ASSERT_TRUE(writer);
    writer->WriteLine(u"one");
    EXPECT_EQ(writer->Pos(), 5);
    EXPECT_THROW(writer->ReadByte(), TStreamReadException); // opened for writing only
  }
  EXPECT_EQ(readfile(path), "one\r\n");
  {
    auto updater = TCStream::OpenFile(textof(path), true, true);
    ASSERT_TRUE(updater);
    EXPECT_EQ(updater->Size(), 5);
    EXPECT_EQ(updater->Seek(1), 1);
    updater->WriteByte('N');
    EXPECT_EQ(updater->Pos(), 2);
  }
  EXPECT_EQ(readfile(path), "oNe\r\n");
}

TEST(filestream, positions_past_two_gibibytes_do_not_wrap) {
  tempdir dir;
  std::string path = dir.file("sparse.bin", "");
  constexpr int64_t big = (int64_t{3} << 30) + 7;
  ASSERT_EQ(truncate(path.c_str(), big), 0);
  auto file = openread(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), big);
  EXPECT_EQ(file->Seek(big - 1), big - 1);
  EXPECT_EQ(file->ReadByte(), 0);
  EXPECT_TRUE(file->Eof());
}

TEST(filestream, a_handle_opened_part_way_counts_from_its_position) {
  tempdir dir;
  std::FILE* handle = std::fopen(dir.file("part.txt", "abcdef").c_str(), "rb");
  ASSERT_NE(handle, nullptr);
  std::fseek(handle, 2, SEEK_SET);
  auto file = TCStream::CreateWithCStream(handle, TCStream::MODE_READ);
  EXPECT_EQ(file->Pos(), 2);
  EXPECT_EQ(file->Size(), 6);
  EXPECT_EQ(file->ReadLine(), u"cdef");
  EXPECT_TRUE(file->Eof());
}
