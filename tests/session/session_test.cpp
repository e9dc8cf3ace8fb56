// One debuggable run: whatever sequence of ticks, pointer steps, going back and forward,
// breakpoints and reloads a host asks for, the state and the console bytes after each call
// are those of an unbroken run, and the frame of tick N is the same on every path to it.
#include "session/session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "display/font.h"
#include "display/frame.h"
#include "runtime/memstream.h"
#include "session/edit.h"
#include "session/typedinput.h"
#include "tests/support/painter.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// Prints, splits, turns and removes, writes code 1 at column 3 of line 2 in tick 3 (the frame
// of tick 3 must not show it, that of tick 4 must), and reads a number (":") in tick 16 and
// every 12 ticks after.
const std::string SOURCE = "%+++++>.;-?v\n      ^:.  <\n%+ (\n";
const std::string INPUT = "7\n8\n9\n";

using testing::painter;

struct run {
  explicit run(const std::string& source, sessionsettings settings = {})
      : s(io.con, std::move(settings)) {
    TMemoryStream stream(source);
    s.load(stream, u"prog.txt");
  }
  testing::memconsole io;
  session s;
};

// The interpreter ticked by hand from the load, with `edits` made after the writes of their
// tick landed: the machine and the console bytes after tick `upto`.
struct model {
  testing::memconsole io{INPUT};
  machine m{io.con};
  model(const std::string& source, const std::map<int64_t, std::vector<edit>>& edits,
        int64_t upto) {
    io.con.printline(u"Executing program..");
    io.con.printline(u"");
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

enum op { tick, pointer, back, next, pause, resume, backtobreak, change };
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

// Whatever sequence of ticks, pointer steps, going back and forward and edits a host asks for,
// the state on show, its frame and every kept tick are those of the interpreter ticked by hand
// with the same edits at the same ticks; the console bytes too, until an edit forks the run.
TEST(session, every_path_and_every_edit_gives_the_hand_run_state_output_and_frame) {
  const edit dot = edit::cell({8, 0}, u'.'), far = edit::cell({14, 5}, u'@');
  const step T{tick}, P{pointer}, B{back}, N{next};
  struct row {
    const char* name;
    std::vector<step> steps;
    int64_t shown, live; // the ticks on show and of the live state afterwards
    bool inside = false; // a pass is open: the state is between two ticks' states
    std::string source = SOURCE;
  } rows[] = {
      {"ticks", {T, T, T}, 3, 3},
      {"paused ticks", {{pause}, T, T, T, T}, 4, 4},
      {"pointer steps", {T, T, P, P}, 3, 3, true},
      {"pointer steps and the tick's end", {T, T, P, P, T}, 3, 3},
      {"back", {T, T, T, T, B}, 3, 4},
      {"back to the copy after the write", {T, T, T, T, T, B}, 4, 5},
      {"back thrice", {T, T, T, T, B, B, B}, 1, 4},
      {"back and forward", {T, T, T, T, B, B, N}, 3, 4},
      {"forward to the live state", {T, T, T, T, B, B, N, N, N}, 5, 5},
      {"back to the oldest", {T, T, T, B, B, B, B, B}, 0, 3},
      {"back to a tick stepped again through a read and its output, and forward",
       repeat(tick, 31) + repeat(back, 2) + repeat(next, 1), 30, 31},
      {"resume runs on from the newest", {T, T, T, B, {resume}, T}, 4, 4},
      {"no going back inside a tick", {T, T, P, B}, 3, 3, true},
      {"back to breakpoints without any: the oldest", {T, T, T, {backtobreak}}, 0, 3},
      {"an edit, a tick, back and forward", {T, T, {change, dot}, T, B, N}, 3, 3},
      {"a cell below the grid and past a line's end grows it", {T, {change, far}, T}, 2, 2},
      {"the edit wins over the write its tick queued",
       {T, T, T, {change, edit::cell({3, 2}, u'X')}, T, T},
       5,
       5},
      {"an edit in the past forks the run, and input is read again",
       repeat(tick, 20) + repeat(back, 5) +
           std::vector<step>{{change, edit::pointer(editkind::register0, 3, 200)}} +
           repeat(tick, 16),
       31, 31},
      {"pointers turned, moved and given registers",
       {T,
        {change, edit::pointer(editkind::direction, 2, DOWN)},
        {change, edit::move(3, {5, 1})},
        {change, edit::pointer(editkind::register1, 1, 9)},
        {change, edit::pointer(editkind::current, 1, 1)},
        T,
        T},
       3,
       3},
      {"lines read again", {T, {change, edit::lines(1, 1, {u"   ", u"  %"})}, T, T}, 3, 3},
      {"the last pointer removed: the run completes at the next tick",
       {{change, edit::remove(0)},
        {change, edit::remove(1)},
        {change, edit::remove(2)},
        {change, edit::remove(3)},
        T},
       1,
       1,
       false,
       "%"},
  };
  painter p;
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    testing::memconsole io(INPUT);
    session s(io.con, {.historybytes = 1 << 20});
    TMemoryStream stream(r.source);
    s.load(stream, u"p");
    std::map<int64_t, std::vector<edit>> made;
    bool forked = false;
    for (const step& st : r.steps)
      switch (st.what) {
      case tick: s.tick(); break;
      case pointer: s.steppointer(); break;
      case back: s.back(); break;
      case next: s.next(); break;
      case pause: s.pause(); break;
      case resume: s.resume(); break;
      case backtobreak: s.backtobreak(); break;
      case change:
        const int64_t at = s.shown().tick;
        forked = forked || s.inhistory();
        ASSERT_EQ(s.change(st.e), "");
        // Newer ticks and their edits are gone.
        made.erase(made.upper_bound(at), made.end());
        made[at].push_back(st.e);
        break;
      }
    EXPECT_EQ(s.shown().tick, r.shown);
    EXPECT_EQ(s.state().tick, r.live);
    model live(r.source, made, r.live);
    if (r.inside) {
      // Inside the tick: its output so far is the start of the whole tick's.
      EXPECT_EQ(live.io.output().rfind(io.output(), 0), 0u);
      EXPECT_NE(testing::everything(s.state()), testing::everything(live.m));
      continue;
    }
    if (!forked) {
      EXPECT_EQ(io.output(), live.io.output());
    }
    const model shown(r.source, made, r.shown);
    EXPECT_EQ(testing::everything(s.shown()), testing::everything(shown.m));
    EXPECT_EQ(p.of(s), p.of(shown.m));
    // Every kept tick shows what the hand-edited run shows at that tick.
    for (size_t i = 0; i < s.past().size(); ++i) {
      const model then(r.source, made, s.past().tick(i));
      machine kept(io.con);
      s.past().restore(i, kept);
      ASSERT_EQ(testing::everything(kept), testing::everything(then.m)) << "tick " << i;
    }
  }
}

TEST(session, breakpoints_pause_after_the_tick_that_meets_them) {
  // Cell (9, 0) is ";", reached in tick 8; "." prints in tick 7.
  struct row {
    sessionsettings settings;
    int64_t pausedat; // 0: never paused within 20 ticks
    std::vector<int64_t> hitby;
  } rows[] = {
      {{.breaks = {{9, 0}}}, 8, {3}},
      {{.breakticks = {5}}, 5, {}},
      {{.breakoutput = true}, 7, {}},
      {{.breaks = {{9, 5}}}, 0, {}},
  };
  for (const row& r : rows) {
    run live(SOURCE, r.settings);
    while (!live.s.paused() && live.s.state().tick < 20 && live.s.tick() == progress::ticked) {
    }
    EXPECT_EQ(live.s.paused() ? live.s.state().tick : 0, r.pausedat);
    EXPECT_EQ(live.s.hitby(), r.hitby);
  }
  // Going back to breakpoints stops at the newest kept tick that hit one, also once a full
  // history has dropped its oldest copies: the second time it holds about 8 of the 13 ticks.
  int64_t budget = 1 << 20;
  for (bool trimmed : {false, true}) {
    run live(SOURCE, {.historybytes = budget, .breaks = {{9, 0}}});
    while (live.s.state().tick < 12)
      live.s.tick();
    EXPECT_EQ(live.s.past().size() < 13, trimmed);
    budget = live.s.past().bytes() * 8 / 13;
    EXPECT_TRUE(live.s.backtobreak());
    EXPECT_EQ(live.s.shown().tick, 8);
  }
}

// The history shares the memory budget and gives way first: its oldest copies go, and the run
// goes on.
TEST(session, the_history_gives_way_to_the_run_within_the_memory_budget) {
  std::string tiles;
  for (int line = 0; line < 10; ++line)
    tiles += std::string("o%Oo%Oo%Oo%Oo%O\nO oO oO oO oO o\nxxxxxxxxxxxxxxx\n");
  run live(tiles, {.historybytes = int64_t{1} << 30, .maxbytes = int64_t{1} << 20});
  while (live.s.state().tick < 2000)
    ASSERT_EQ(live.s.tick(), progress::ticked);
  EXPECT_GT(live.s.past().size(), 1u);
  EXPECT_LT(live.s.past().bytes(), int64_t{1} << 19);
}

TEST(session, open_input_waits_for_a_line_and_complete_input_reads_the_end) {
  // ":" reads a number, "." prints it, twice.
  const std::string source = "%:.:.@";
  typedinput typed;
  session s(typed.con(), {.lineready = [&] { return typed.lineready(); }});
  TMemoryStream stream(source);
  s.load(stream, u"p");
  EXPECT_EQ(s.tick(), progress::waiting);
  typed.feed("7\n");
  while (s.tick() == progress::ticked) {
  }
  EXPECT_EQ(s.tick(), progress::waiting) << "the second line has not come";
  typed.endinput();
  while (s.tick() == progress::ticked) {
  }
  s.close();
  EXPECT_EQ(typed.takeoutput(), "Executing program..\r\n\r\n70\r\n\r\nExecution complete.\r\n");
}

TEST(session, open_input_waits_at_a_colon_the_program_wrote_or_a_person_placed) {
  // Neither grid holds a ":" when the run starts, so the wait must learn of the new one.
  // The first: ")" writes 9 + 1 (":") ahead of its pointer, which reaches it two ticks later.
  const struct {
    const char* source;
    bool edited;
  } rows[] = {{"%(9+) .@", false}, {"%  .@", true}};
  for (const auto& r : rows) {
    typedinput typed;
    session s(typed.con(), {.lineready = [&] { return typed.lineready(); }});
    TMemoryStream stream(r.source);
    s.load(stream, u"p");
    if (r.edited) {
      ASSERT_EQ(s.change(edit::cell({2, 0}, u':')), "");
    }
    progress p;
    while ((p = s.tick()) == progress::ticked) {
    }
    EXPECT_EQ(p, progress::waiting) << r.source;
    typed.feed("7\n");
    while (s.tick() == progress::ticked) {
    }
    s.close();
    EXPECT_EQ(typed.takeoutput(), "Executing program..\r\n\r\n7\r\n\r\nExecution complete.\r\n")
        << r.source;
  }
}

TEST(session, reload_starts_over_and_a_lost_file_leaves_the_run_as_it_is) {
  testing::tempdir dir;
  const std::string path = dir.file("prog.txt", SOURCE);
  testing::memconsole io;
  session s(io.con, {});
  ASSERT_TRUE(s.load(fromcstring(path.c_str()), u"prog.txt"));
  s.tick(), s.tick();
  const std::string before = testing::everything(s.state());
  std::remove(path.c_str());
  EXPECT_FALSE(s.reload());
  EXPECT_EQ(testing::everything(s.state()), before);
  dir.file("prog.txt", "%.@");
  EXPECT_TRUE(s.reload());
  EXPECT_EQ(s.state().tick, 0);
}

TEST(session, the_view_scrolls_zooms_selects_and_follows) {
  run live("%  \n\n\n", {});
  live.s.zoomat(2, 100, 60);
  EXPECT_EQ(live.s.view().zoom, 2);
  // The cell under the mouse stays under it.
  EXPECT_EQ(cellat(live.s.view(), 100, 60), (cellpos{100 / 8, 60 / 12}));
  live.s.home();
  live.s.select({1, 0});
  EXPECT_EQ(live.s.view().selected, 0);
  live.s.select({1, 0});
  EXPECT_EQ(live.s.view().selected, 1) << "again: the next pointer on the cell";
  live.s.togglefollow();
  live.s.scrollto({500, 500});
  live.s.tick();
  EXPECT_EQ(live.s.view().origin, (cellpos{500, 500})) << "scrolling stops following";
  live.s.togglefollow();
  live.s.tick();
  EXPECT_LT(live.s.view().origin.x, 10);
  EXPECT_EQ(live.s.status(), "running - tick 2 - 128 ms");
}

} // namespace
} // namespace tarvex
