// The run driver through the library, in this process: each ending arrives as a value and the
// test binary goes on; the frame of a tick shows its moves but not its writes; Escape and a
// close request stop the run before anything more is shown.
#include "app/driver.h"

#include <gtest/gtest.h>

#include <deque>

#include "display/font.h"
#include "runtime/faultnames.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// A window whose Escape key, close requests and presses the test sets; it keeps what it was
// shown and its caption.
struct fakescreen final : screen {
  bool held = false, asked = false; // Escape, a close request
  int closequeries = 0;
  std::vector<std::vector<uint32_t>> shown;
  std::deque<inputevent> presses;
  // When the presses have run out while the studio is paused, Escape goes down and the test
  // has control again.
  const studio* controls = nullptr;
  Text title;
  void Flip(const canvas& surface) override { shown.push_back(surface.pixels()); }
  int KeyDown(int key) override { return key == 27 && held; }
  int AppTerminate() override { return ++closequeries, asked; }
  bool NextInput(inputevent& e) override {
    if (presses.empty()) return held = held || (controls && controls->paused()), false;
    e = presses.front(), presses.pop_front();
    return true;
  }
  void SetTitle(const Text& text) override { title = text; }
};

// Time that passes only when slept on.
struct stillclock final : pacingclock {
  int64_t time = 0;
  int64_t now() override { return time; }
  void sleep(int64_t ms) override { time += ms; }
};

struct session {
  testing::tempdir dir;
  testing::rig io;
  canvas surface;
  glyphfont font;
  fakescreen view;
  stillclock clock;
  options opts;
  rundriver driver{opts, io.con, surface, font.atlas, view, clock};
  session() {
    view.controls = &driver.controls();
    loadfont(font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"));
  }
  bool load(const std::string& source) {
    return driver.load(fromcstring(dir.file("prog.txt", source).c_str()));
  }
  // Runs to the end and tells how it ended.
  tickoutcome finish() {
    tickresult r;
    while (!r.stopped && r.outcome.state == tickstate::going)
      r = driver.tick();
    return r.outcome;
  }
};

TEST(driver, every_ending_returns_to_the_host_as_a_value) {
  struct row {
    const char* source;
    tickstate state;
    uint32_t fault;
    int64_t ticks;
    const char* out;
  } rows[] = {
      {"%d", tickstate::fault, faultcode::INT_DIVIDE_BY_ZERO, 1, ""},
      {"%+.@", tickstate::halted, 0, 3, "1"},
      {"%", tickstate::finished, 0, 2, ""},
  };
  for (const row& r : rows) {
    session s;
    ASSERT_TRUE(s.load(r.source));
    tickoutcome outcome = s.finish();
    EXPECT_EQ(outcome.state, r.state) << r.source;
    EXPECT_EQ(outcome.fault, r.fault) << r.source;
    EXPECT_EQ(s.driver.state().tick, r.ticks) << r.source;
    EXPECT_EQ(s.io.output(), std::string("Executing program..\r\n\r\n") + r.out) << r.source;
  }
  session missing;
  EXPECT_FALSE(missing.driver.load(fromcstring((missing.dir.path() + "/none.txt").c_str())));
  EXPECT_EQ(missing.io.output(), "") << "the host reports a missing source";
}

TEST(driver, the_frame_of_a_tick_shows_its_moves_before_its_writes_land) {
  session s;
  // "(" at column 4 writes the counter 1 into column 3 in tick 3; tick 4 is the first to
  // show it. A pointer never covers column 3 after tick 2.
  ASSERT_TRUE(s.load("%+ ("));
  ASSERT_TRUE(s.driver.show());
  s.finish();
  ASSERT_EQ(s.view.shown.size(), 6u) << "the first frame and one a tick";
  auto blank = [&](size_t frame) {
    for (int y = 0; y < GLYPHHEIGHT; ++y)
      for (int x = 3 * GLYPHWIDTH; x < 4 * GLYPHWIDTH; ++x)
        if (s.view.shown[frame][size_t(y * canvas::WIDTH + x)] != 0) return false;
    return true;
  };
  EXPECT_TRUE(blank(3)) << "tick 3 queued the write";
  EXPECT_FALSE(blank(4)) << "tick 4 shows it";
}

TEST(driver, escape_or_a_close_request_stops_the_run_and_nothing_more_is_shown) {
  for (auto [held, asked] : {std::pair{true, true}, {false, true}, {true, false}}) {
    session s;
    ASSERT_TRUE(s.load("%>v\n ^<\n"));
    s.view.held = held, s.view.asked = asked;
    EXPECT_FALSE(s.driver.show());
    EXPECT_TRUE(s.driver.tick().stopped);
    EXPECT_TRUE(s.view.shown.empty());
    // A close request that comes while Escape is down stays pending.
    EXPECT_EQ(s.view.closequeries, held ? 0 : 2);
  }
}

// The studio driven by presses: pause, a tick, pointer steps, back and forward through the
// history, resume. The state and the console bytes match an unbroken run's at each tick, a
// past tick shows exactly the frame it showed, and the history writes and reads nothing.
TEST(driver, the_studio_steps_and_goes_back_exactly_as_an_unbroken_run) {
  const std::string source = "%+++++>.;-?v\n      ^    <\n% )\n";
  session plain;
  ASSERT_TRUE(plain.load(source));
  std::vector<std::string> states{testing::everything(plain.driver.state())};
  std::vector<std::string> outs{plain.io.output()};
  while (plain.driver.state().tick < 20 && !plain.driver.tick().stopped)
    states.push_back(testing::everything(plain.driver.state())), outs.push_back(plain.io.output());
  const auto& frames = plain.view.shown; // frames[k - 1]: the frame of tick k

  session s;
  s.driver.enablestudio();
  ASSERT_TRUE(s.load(source));
  using k = inputkind;
  const inputevent space{k::KeyDown, 32}, right{k::KeyDown, 39}, left{k::KeyDown, 37},
      dot{k::KeyDown, 0, U'.'};
  struct row {
    std::vector<inputevent> presses;
    int64_t tick;  // the live state's tick, as the unbroken run's after it
    int64_t frame; // the tick whose frame was shown last; 0: none to check
    const char* caption;
  } rows[] = {
      {{space}, 0, 0, "paused - tick 0 - 128 ms"},
      {{right}, 1, 1, "paused - tick 1 - 128 ms"},
      {{right}, 2, 2, nullptr},
      {{dot, dot, dot}, 3, 0, "paused - tick 3 - 128 ms"}, // three pointers of tick 3 stepped
      {{right}, 3, 3, nullptr},
      {{left, left}, 3, 1, "paused - tick 1 (history) - 128 ms"},
      {{right}, 3, 2, nullptr},
      {{right}, 3, 3, "paused - tick 3 - 128 ms"},
      {{right}, 4, 4, nullptr},
  };
  for (const row& r : rows) {
    s.view.held = false;
    s.view.presses.assign(r.presses.begin(), r.presses.end());
    s.driver.tick();
    SCOPED_TRACE(r.tick);
    if (r.frame > 0) {
      EXPECT_EQ(s.view.shown.back(), frames[size_t(r.frame - 1)]);
    }
    if (r.caption) {
      EXPECT_EQ(utf8name(s.view.title), std::string("Tarvex Application - ") + r.caption);
    }
    if (r.presses[0].text == U'.') {
      // Inside the tick: the pass is under way and its output so far is the start of the tick's.
      EXPECT_EQ(s.driver.state().tick, r.tick);
      EXPECT_EQ(outs[size_t(r.tick)].rfind(s.io.output(), 0), 0u);
      EXPECT_NE(testing::everything(s.driver.state()), states[size_t(r.tick)]);
      continue;
    }
    EXPECT_EQ(testing::everything(s.driver.state()), states[size_t(r.tick)]);
    EXPECT_EQ(s.io.output(), outs[size_t(r.tick)]);
  }
  // Resumed, the run goes on to the end as the unbroken one did.
  s.view.held = false;
  s.view.presses = {space};
  while (s.driver.state().tick < 20 && !s.driver.tick().stopped) {
  }
  EXPECT_EQ(testing::everything(s.driver.state()), states.back());
  EXPECT_EQ(s.io.output(), outs.back());
  // R: a source that can no longer be read leaves the run as it is; a new one starts over.
  const inputevent reload{k::KeyDown, 0, U'r'};
  std::remove(s.dir.file("prog.txt", "").c_str());
  s.view.presses = {space, reload};
  s.driver.tick();
  EXPECT_EQ(testing::everything(s.driver.state()), states.back());
  s.dir.file("prog.txt", "%.@");
  s.view.held = false, s.view.presses = {reload};
  s.driver.tick();
  EXPECT_EQ(s.driver.state().tick, 0);
  EXPECT_EQ(s.io.output(), outs.back() + "Executing program..\r\n\r\n");
}

// Breakpoints (given or clicked) and console output pause the run after the tick; the speed
// keys halve and double the pause within their bounds.
TEST(driver, the_studio_pauses_where_asked_and_keeps_its_speed) {
  using k = inputkind;
  // Cell (9, 0) is ";", reached in tick 8; "." prints in tick 7.
  const inputevent press{k::MouseDown, 1, 0, 9 * 8 + 3, 5}, release{k::MouseUp, 1, 0, 9 * 8 + 3, 5},
      faster{k::KeyDown, 0, U'+'}, slower{k::KeyDown, 0, U'-'}, plain{k::KeyDown, 0, U'0'};
  struct row {
    std::vector<std::pair<int64_t, int64_t>> breaks;
    bool breakoutput;
    std::vector<inputevent> presses;
    int64_t pausedat; // 0: not paused, the run went to its end
    int64_t delay;
  } rows[] = {
      {{{9, 0}}, false, {}, 8, 128},
      {{}, true, {}, 7, 128},
      {{}, false, {press, release}, 8, 128},
      {{{9, 0}}, false, {press, release}, 0, 128}, // clicked off again
      {{}, false, {faster, faster, slower}, 0, 64},
      {{}, false, std::vector<inputevent>(12, slower), 0, 2000},
      {{}, false, std::vector<inputevent>(9, faster), 0, 1},
      {{}, false, {slower, plain}, 0, 128},
  };
  for (const row& r : rows) {
    session s;
    s.opts.breaks = r.breaks, s.opts.breakoutput = r.breakoutput;
    rundriver driver{s.opts, s.io.con, s.surface, s.font.atlas, s.view, s.clock};
    s.view.controls = &driver.controls();
    driver.enablestudio();
    ASSERT_TRUE(
        driver.load(fromcstring(s.dir.file("p.txt", "%+++++>.;-?v\n      ^    <\n").c_str())));
    s.view.presses.assign(r.presses.begin(), r.presses.end());
    tickresult t;
    while (!t.stopped && t.outcome.state == tickstate::going)
      t = driver.tick();
    EXPECT_EQ(driver.controls().paused() ? driver.state().tick : 0, r.pausedat);
    EXPECT_EQ(driver.controls().delayms(), r.delay);
  }
}

} // namespace
} // namespace tarvex
