// Loading: the source name, the line rules, the first pointers, and a source that is missing.
#include "interp/loader.h"

#include <gtest/gtest.h>

#include "tests/interp/rig.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

using testing::rig;
using testing::T;

TEST(loader, source_name_is_the_first_argument_or_code_txt) {
  EXPECT_EQ(codefilename({}), u"code.txt");
  EXPECT_EQ(codefilename({u"/bin/tarvex"}), u"code.txt");
  EXPECT_EQ(codefilename({u"/bin/tarvex", u"a.txt"}), u"a.txt");
  EXPECT_EQ(codefilename({u"/bin/tarvex", u"a.txt", u"b.txt"}), u"a.txt");
}

struct linecase {
  const char* what;
  std::string bytes;
  std::vector<std::string> lines;
  int64_t maxlen;
};

class line_rules : public ::testing::TestWithParam<linecase> {};

TEST_P(line_rules, store_each_line_with_one_added_space) {
  const linecase& c = GetParam();
  rig r;
  testing::bytestream source(c.bytes);
  loadgrid(r.m, source);
  std::vector<std::string> lines;
  for (const Text& line : r.m.grid.lines)
    lines.push_back(testing::S(line));
  EXPECT_EQ(lines, c.lines);
  EXPECT_EQ(r.m.grid.linecount, static_cast<int64_t>(c.lines.size()));
  EXPECT_EQ(r.m.grid.maxlen, c.maxlen);
}

INSTANTIATE_TEST_SUITE_P(
    loader, line_rules,
    ::testing::Values(linecase{"empty_file", "", {" "}, 1}, linecase{"one_line", "ab", {"ab "}, 3},
                      linecase{"trailing_line_feed", "ab\n", {"ab "}, 3},
                      linecase{"two_line_feeds", "ab\n\n", {"ab ", " "}, 3},
                      linecase{"lone_line_feed", "\n", {" "}, 1},
                      linecase{"carriage_returns_dropped", "a\r\nbc\r\n", {"a ", "bc "}, 3},
                      linecase{"inner_carriage_return", "a\rb", {"ab "}, 3},
                      linecase{"zero_byte_ends_a_line", std::string("a\0b", 3), {"a ", "b "}, 2},
                      linecase{"high_bytes_kept", "\xff\x80", {"\xff\x80 "}, 3},
                      linecase{"longest_line_wins", "a\nabcd\nab", {"a ", "abcd ", "ab "}, 5}),
    [](const ::testing::TestParamInfo<linecase>& row) { return row.param.what; });

TEST(loader, every_percent_starts_four_pointers_in_reading_order) {
  rig r;
  testing::bytestream source("%\nx%%\n");
  loadgrid(r.m, source);
  EXPECT_EQ(r.line(0), "% ");
  EXPECT_EQ(r.line(1), "x%% ");
  EXPECT_EQ(r.m.grid.maxlen, 4);
  std::vector<std::string> expected;
  for (auto [x, y] : {std::pair{1, 0}, {2, 1}, {3, 1}})
    for (int dir : {UP, DOWN, LEFT, RIGHT})
      expected.push_back("(x" + std::to_string(x) + " y" + std::to_string(y) + " d" +
                         std::to_string(dir) + " v0,0 on0 n1 s0 r0 w0 k0)");
  EXPECT_EQ(testing::pointers(r.m), expected);
}

TEST(loader, percent_between_quotes_starts_pointers_too) {
  rig r;
  testing::bytestream source("\"%\"");
  loadgrid(r.m, source);
  EXPECT_EQ(r.m.ips.count(), 4u);
}

TEST(loader, file_is_loaded_and_closed) {
  ::tarvex::testing::tempdir dir;
  const std::string path = dir.file("prog.txt", "%+.@\n");
  rig r;
  loadsource(r.m, T(path));
  EXPECT_EQ(r.line(0), "%+.@ ");
  EXPECT_EQ(r.m.grid.linecount, 1);
  EXPECT_EQ(r.m.grid.maxlen, 5);
  EXPECT_EQ(r.m.ips.count(), 4u);
  EXPECT_EQ(r.output(), "");
}

TEST(loader, missing_source_reports_prompts_and_fails) {
  // The console writes to standard error here so the death test can see it.
  EXPECT_EXIT(
      {
        std::FILE* in = testing::inputfile("\n");
        console con(in, stderr);
        machine m(con);
        loadsource(m, u"nothere.txt");
      },
      ::testing::ExitedWithCode(1), "^Could not load nothere\\.txt\r\n>$");
}

} // namespace
} // namespace tarvex
