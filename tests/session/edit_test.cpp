// Edits through the session: after any sequence of ticks, steps back and forward and edits,
// the state and the frame are those of the interpreter ticked by hand with the same edits made
// at the same ticks, and an edit in the past forks the run there.
#include "session/edit.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

#include "runtime/memstream.h"
#include "session/session.h"
#include "tests/support/painter.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// Prints, splits, writes code 1 at column 3 of line 2 in tick 3, and reads a number (":") in
// tick 16 and every 12 ticks after.
const std::string SOURCE = "%+++++>.;-?v\n      ^:.  <\n%+ (\n";
const std::string INPUT = "7\n8\n9\n";

// The interpreter ticked by hand from the load, with `edits` made after the writes of their
// tick landed; the machine as it stands after tick `upto`.
struct model {
  std::map<int64_t, std::vector<edit>> edits;
  testing::memconsole io{INPUT};
  machine m{io.con};
  model(const std::string& source, const std::map<int64_t, std::vector<edit>>& made, int64_t upto)
      : edits(made) {
    TMemoryStream stream(source);
    loadgrid(m, stream);
    for (tickoutcome outcome;;) {
      if (auto at = edits.find(m.tick); at != edits.end()) {
        endtick(m, outcome);
        for (const edit& e : at->second)
          applyedit(m, e);
      }
      if (m.tick == upto || outcome.state != tickstate::going) break;
      endtick(m, outcome);
      outcome = steppass(m);
    }
  }
};

enum op { tick, back, next, pointer, change };
struct step {
  op what;
  edit e = {};
};

std::vector<step> repeat(op what, int times) {
  return std::vector<step>(static_cast<size_t>(times), step{what});
}

std::vector<step> operator+(std::vector<step> a, const std::vector<step>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(edit, every_sequence_equals_the_interpreter_edited_by_hand) {
  const edit dot = edit::cell({8, 0}, u'.'), far = edit::cell({14, 5}, u'@');
  struct row {
    const char* name;
    std::string source;
    std::vector<step> steps;
    int64_t live; // the live tick afterwards
    std::string output;
  } rows[] = {
      {"an edit, a tick, back and forward",
       SOURCE,
       {{tick}, {tick}, {change, dot}, {tick}, {back}, {next}},
       3,
       "Executing program..\r\n\r\n"},
      {"a cell below the grid and past a line's end grows it",
       SOURCE,
       {{tick}, {change, far}, {tick}},
       2,
       "Executing program..\r\n\r\n"},
      {"the edit wins over the write its tick queued",
       SOURCE,
       {{tick}, {tick}, {tick}, {change, edit::cell({3, 2}, u'X')}, {tick}, {tick}},
       5,
       ""},
      {"an edit in the past forks the run, and input is read again", SOURCE,
       repeat(tick, 20) + repeat(back, 5) +
           std::vector<step>{{change, edit::pointer(editkind::register0, 3, 200)}} +
           repeat(tick, 16),
       31, ""},
      {"pointers turned, moved and given registers",
       SOURCE,
       {{tick},
        {change, edit::pointer(editkind::direction, 2, DOWN)},
        {change, edit::move(3, {5, 1})},
        {change, edit::pointer(editkind::register1, 1, 9)},
        {change, edit::pointer(editkind::current, 1, 1)},
        {tick},
        {tick}},
       3,
       ""},
      {"lines read again",
       SOURCE,
       {{tick}, {change, edit::lines(1, 1, {u"   ", u"  %"})}, {tick}, {tick}},
       3,
       ""},
      {"the last pointer removed: the run completes at the next tick",
       "%",
       {{change, edit::remove(0)},
        {change, edit::remove(1)},
        {change, edit::remove(2)},
        {change, edit::remove(3)},
        {tick}},
       1,
       "Executing program..\r\n\r\n"},
  };
  testing::painter p;
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    testing::memconsole io(INPUT);
    session s(io.con, {.historybytes = 1 << 20});
    TMemoryStream stream(r.source);
    s.load(stream, u"p");
    std::map<int64_t, std::vector<edit>> made;
    for (const step& st : r.steps)
      switch (st.what) {
      case tick: s.tick(); break;
      case back: s.back(); break;
      case next: s.next(); break;
      case pointer: s.steppointer(); break;
      case change:
        const int64_t at = s.shown().tick;
        ASSERT_EQ(s.change(st.e), "");
        // Newer ticks and their edits are gone.
        made.erase(made.upper_bound(at), made.end());
        made[at].push_back(st.e);
        break;
      }
    EXPECT_EQ(s.state().tick, r.live);
    const model hand(r.source, made, s.shown().tick);
    EXPECT_EQ(testing::everything(s.shown()), testing::everything(hand.m));
    EXPECT_EQ(p.of(s), p.of(hand.m));
    if (!r.output.empty()) {
      EXPECT_EQ(io.output(), r.output);
    }
    // Every kept tick shows what the hand-edited run shows at that tick.
    for (size_t i = 0; i < s.past().size(); ++i) {
      const int64_t t = s.past().at(i).tick;
      const model then(r.source, made, t);
      machine kept(io.con);
      restoresnapshot(kept, s.past().at(i));
      ASSERT_EQ(testing::everything(kept), testing::everything(then.m)) << "tick " << t;
    }
  }
}

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
    testing::memconsole io(INPUT);
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
