// Edits refused with their reasons, and the grid saved back to its source. (How edits land and
// fork the run is the session test's sequence table.)
#include "session/edit.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "runtime/memstream.h"
#include "session/session.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

const std::string SOURCE = "%+++++>.;-?v\n      ^:.  <\n%+ (\n";

TEST(edit, refusals_say_why_and_change_nothing) {
  struct row {
    bool halfdone; // a pointer step has left the tick open
    edit e;
    std::string why;
  } rows[] = {
      {true, edit::cell({1, 0}, u'x'),
       "a pointer step has left the tick half done: finish the tick first"},
      {false, edit::pointer(editkind::register0, 3, 256), "a register holds 0 to 255"},
      {false, edit::pointer(editkind::register1, 3, -1), "a register holds 0 to 255"},
      {false, edit::pointer(editkind::current, 3, 2), "the current register is 0 or 1"},
      {false, edit::pointer(editkind::direction, 3, 4), "a direction is up, down, left or right"},
      {false, edit::remove(99), "no pointer 99 is alive"},
      {false, edit::cell({0, 0}, u'x'), "cells are from column 1 and line 0"},
      {false, edit::cell({1, 0}, 0x10000), "a character code is from 0 to 65535"},
      {false, edit::cell({1, int64_t{1} << 30}, u'x'),
       "the grid cannot grow that far: it would pass the memory budget"},
  };
  for (const row& r : rows) {
    testing::memconsole io;
    session s(io.con, {.historybytes = 1 << 20});
    TMemoryStream stream(SOURCE);
    s.load(stream, u"p");
    s.tick();
    if (r.halfdone) s.steppointer();
    const std::string before = testing::everything(s.state());
    EXPECT_EQ(s.change(r.e), r.why);
    EXPECT_EQ(testing::everything(s.state()), before);
  }
}

// Saving writes the grid back in the decoding the source was read with, and a refusal leaves
// the old file as it was.
TEST(edit, saving_round_trips_each_decoding_and_a_refusal_keeps_the_old_file) {
  struct row {
    std::string prefix, before;
    char16_t typed; // at column 2 of line 1, past that line's end
    std::string after, why;
  } rows[] = {
      {"", "%\xe9\n", u'\xff', "%\xe9\n \xff\n", ""},
      {"latin1::", "ab\r\nc", u'x', "ab\ncx\n", ""},
      {"utf8::", "\xc3\xa9", u'\x4e2d', "\xc3\xa9\n \xe4\xb8\xad\n", ""},
      {"utf16be::", std::string("\0%", 2), u'\x4e2d', std::string("\0%\0\n\0 \x4e\x2d\0\n", 10),
       ""},
      {"utf16le::", std::string("%\0", 2), u'\x4e2d', std::string("%\0\n\0 \0\x2d\x4e\n\0", 10),
       ""},
      {"", "%\n", u'\x4e2d', "%\n",
       "cannot save PATH: line 1, column 2 holds U+4E2D, which this file's decoding cannot hold"},
      {"", "%\n", u'\r', "%\n",
       "cannot save PATH: line 1, column 2 holds U+000D, which this file's decoding cannot hold"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.prefix + r.after);
    testing::tempdir dir;
    const std::string path = dir.file("prog.txt", r.before);
    testing::memconsole io;
    session s(io.con, {});
    ASSERT_TRUE(s.load(fromcstring((r.prefix + path).c_str()), u"prog.txt"));
    ASSERT_EQ(s.change(edit::cell({2, 1}, r.typed)), "");
    std::string why = s.save();
    if (const size_t at = why.find(path); at != std::string::npos)
      why.replace(at, path.size(), "PATH");
    EXPECT_EQ(why, r.why);
    EXPECT_EQ(testing::readfile(path), r.after);
    if (r.why.empty()) {
      const std::string grid = testing::everything(s.state());
      ASSERT_TRUE(s.reload());
      EXPECT_EQ(testing::everything(s.state()), grid) << "read again, the same grid";
    }
  }
  // The new file cannot be made (a directory stands in its place, which stops root too): the
  // save fails with the system's reason and the old file is as it was.
  testing::tempdir dir;
  const std::string path = dir.file("prog.txt", "%\n");
  testing::memconsole io;
  session s(io.con, {});
  ASSERT_TRUE(s.load(fromcstring(path.c_str()), u"prog.txt"));
  s.change(edit::cell({1, 0}, u'@'));
  ASSERT_EQ(mkdir((path + ".saving").c_str(), 0700), 0);
  EXPECT_EQ(s.save(), "cannot save " + path + ": Is a directory");
  EXPECT_EQ(testing::readfile(path), "%\n");
}

} // namespace
} // namespace tarvex
