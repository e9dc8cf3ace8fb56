// One debuggable run: whatever sequence of ticks, pointer steps, going back and forward,
// breakpoints and reloads a host asks for, the state and the console bytes after each call
// are those of an unbroken run, and the frame of tick N is the same on every path to it.
#include "session/session.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "display/font.h"
#include "display/frame.h"
#include "runtime/memstream.h"
#include "session/typedinput.h"
#include "tests/support/painter.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// Prints, turns and removes, and writes a visible character into the grid in tick 3 ("(" at
// column 4 of line 2): the frame of tick 3 must not show it, that of tick 4 must.
const std::string SOURCE = "%+++++>.;-?v\n      ^    <\n%+ (\n";

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

// The unbroken run, ticked by the interpreter itself: its state, output and frame after every
// pass (before that tick's writes land) up to tick 20.
struct unbroken {
  std::vector<std::string> states, outs;
  std::vector<std::vector<uint32_t>> frames;
  unbroken(const std::string& source, painter& p) {
    testing::memconsole io;
    io.con.printline(u"Executing program..");
    io.con.printline(u"");
    machine m(io.con);
    TMemoryStream stream(source);
    loadgrid(m, stream);
    for (tickoutcome outcome;;) {
      states.push_back(testing::everything(m));
      outs.push_back(io.output());
      frames.push_back(p.of(m));
      if (m.tick == 20 || outcome.state != tickstate::going) break;
      endtick(m, outcome);
      outcome = steppass(m);
    }
  }
};

TEST(session, every_path_to_a_tick_gives_its_state_output_and_frame) {
  painter p;
  const unbroken plain(SOURCE, p);
  ASSERT_EQ(plain.states.size(), 21u);
  enum command { tick, pointer, back, next, pause, resume, backtobreak };
  struct row {
    std::vector<command> commands;
    int64_t shown; // the tick on show after the commands (inside a pass: the one it makes)
    int64_t live;  // the live state's tick, as the unbroken run's after it
    bool inside;   // a pass is open: the state is between two ticks' states
  } rows[] = {
      {{tick, tick, tick}, 3, 3, false},
      {{pause, tick, tick, tick, tick}, 4, 4, false},
      {{tick, tick, pointer, pointer}, 3, 3, true},
      {{tick, tick, pointer, pointer, tick}, 3, 3, false},
      {{tick, tick, tick, tick, back}, 3, 4, false},
      {{tick, tick, tick, tick, tick, back}, 4, 5, false}, // the copy after the write
      {{tick, tick, tick, tick, back, back, back}, 1, 4, false},
      {{tick, tick, tick, tick, back, back, next}, 3, 4, false},
      {{tick, tick, tick, tick, back, back, next, next, next}, 5, 5, false},
      {{tick, tick, tick, back, back, back, back, back}, 0, 3, false},
      {{tick, tick, tick, back, resume, tick}, 4, 4, false},
      {{tick, tick, pointer, back}, 3, 3, true}, // no going back inside a tick
  };
  for (const row& r : rows) {
    run live(SOURCE, {.historybytes = 1 << 20});
    for (command c : r.commands)
      switch (c) {
      case tick: live.s.tick(); break;
      case pointer: live.s.steppointer(); break;
      case back: live.s.back(); break;
      case next: live.s.next(); break;
      case pause: live.s.pause(); break;
      case resume: live.s.resume(); break;
      case backtobreak: live.s.backtobreak(); break;
      }
    SCOPED_TRACE(::testing::PrintToString(r.commands));
    EXPECT_EQ(live.s.shown().tick, r.shown);
    const auto live_tick = static_cast<size_t>(live.s.state().tick);
    EXPECT_EQ(live_tick, static_cast<size_t>(r.live));
    if (r.inside) {
      // Inside the tick: its output so far is the start of the whole tick's.
      EXPECT_EQ(plain.outs[live_tick].rfind(live.io.output(), 0), 0u);
      EXPECT_NE(testing::everything(live.s.state()), plain.states[live_tick]);
      continue;
    }
    EXPECT_EQ(testing::everything(live.s.state()), plain.states[live_tick]);
    EXPECT_EQ(live.io.output(), plain.outs[live_tick]);
    // Pausing, stepping to or going back to a tick never shows its writes landed.
    EXPECT_EQ(p.of(live.s), plain.frames[static_cast<size_t>(r.shown)]);
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

TEST(session, each_ending_is_a_value_with_its_status_and_line) {
  struct row {
    std::string source;
    sessionsettings settings;
    endkind kind;
    int status;
    std::string message, out;
  } rows[] = {
      {"%+.@", {}, endkind::complete, 0, "", "1\r\n\r\nExecution complete.\r\n"},
      {"%", {}, endkind::complete, 0, "", "\r\n\r\nExecution complete.\r\n"},
      {"%d", {}, endkind::fault, 2, "EXCEPTION_INT_DIVIDE_BY_ZERO", ""},
      {"%>v\n ^<\n", {.maxticks = 7}, endkind::ticks, 3, "tarvex: stopped after 7 ticks", ""},
      // Exactly the cap is allowed; one more is not.
      {"%", {.maxpointers = 4}, endkind::complete, 0, "", "\r\n\r\nExecution complete.\r\n"},
      {"%%",
       {.maxpointers = 4},
       endkind::overcap,
       3,
       "tarvex: stopped at 8 live pointers after 0 ticks",
       ""},
  };
  for (const row& r : rows) {
    run live(r.source, r.settings);
    while (live.s.tick() == progress::ticked) {
    }
    live.s.close();
    SCOPED_TRACE(r.source);
    EXPECT_EQ(live.s.end().kind, r.kind);
    EXPECT_EQ(live.s.end().status, r.status);
    EXPECT_EQ(live.s.end().message, r.message);
    EXPECT_EQ(live.io.output(), "Executing program..\r\n\r\n" + r.out);
  }
  testing::memconsole io;
  session missing(io.con, {});
  EXPECT_FALSE(missing.load(u"/nonexistent/none.txt", u"none.txt"));
  EXPECT_EQ(missing.end().status, 1);
  EXPECT_EQ(io.output(), "Could not load none.txt\r\n");
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
