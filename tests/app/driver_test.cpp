// The window's host: key presses and mouse events become session calls, and what the window
// shows is the session's frame of the same state and view, pixel for pixel. Escape and a close
// request stop the run before anything more is shown.
#include "app/driver.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <sstream>

#include "tests/support/clock.h"
#include "tests/support/painter.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// A window whose Escape key, close requests and presses the test sets; it keeps what it was
// shown and its caption. When the presses run out, Escape goes down and the test has control.
struct fakescreen final : screen {
  bool held = false, asked = false; // Escape, a close request
  int closequeries = 0;
  std::vector<std::vector<uint32_t>> shown;
  std::deque<inputevent> presses;
  Text title;
  void Flip(const canvas& surface) override { shown.push_back(surface.pixels()); }
  int KeyDown(int key) override { return key == 27 && held; }
  int AppTerminate() override { return ++closequeries, asked; }
  bool NextInput(inputevent& e) override {
    if (presses.empty()) return held = true, false;
    e = presses.front(), presses.pop_front();
    return true;
  }
  void SetTitle(const Text& text) override { title = text; }
};

struct host {
  explicit host(bool studio = true)
      : driver{opts, io.con, paint.surface, paint.font.atlas, view, clock, studio} {}
  bool load(const std::string& source) {
    const Text path = fromcstring(dir.file("prog.txt", source).c_str());
    return driver.load(path, path);
  }
  testing::tempdir dir;
  testing::rig io;
  testing::painter paint;
  fakescreen view;
  testing::scriptedclock clock;
  options opts;
  rundriver driver;
};

using k = inputkind;
const inputevent SPACE{k::KeyDown, 32}, RIGHT{k::KeyDown, 39}, LEFT{k::KeyDown, 37},
    DOT{k::KeyDown, 0, U'.'}, WHEELUP{k::Wheel, 1, 0, 360, 256}, ENTER{k::KeyDown, 13},
    ESCAPE{k::KeyDown, 27}, ESCAPEUP{k::KeyUp, 27}, BACKSPACE{k::KeyDown, 8},
    DELETE{k::KeyDown, 46};
inputevent typed(char32_t c) {
  return {k::KeyDown, 0, c};
}
inputevent mouse(inputkind kind, int x, int y, int button = 0) {
  return {kind, button, 0, x, y};
}

// The same presses through the window and as session calls: the window shows the session's
// frame of that state and view, on a grid of 300 by 200 cells.
TEST(driver, keys_and_mouse_drive_the_session_and_the_window_shows_its_frame) {
  std::string wide;
  for (int line = 0; line < 200; ++line)
    wide += (line % 7 == 0 ? "%" : "") + std::string(299, line % 2 ? '-' : '+') + "\n";
  const auto cell = [](const session& s, int64_t x, int64_t y) {
    return readcell(s.state().grid, x, y);
  };
  const auto pointer = [](const session& s) { return findpointer(s.state(), 3); };
  struct row {
    const char* what;
    std::vector<inputevent> presses;
    const char* caption;
    std::function<bool(const session&)> holds = nullptr;
  } rows[] = {
      {"pause", {SPACE}, "paused - tick 0 - 128 ms"},
      {"step", {RIGHT, RIGHT}, "paused - tick 2 - 128 ms"},
      {"pointer step", {DOT, DOT}, "paused - tick 3 - 128 ms"},
      {"finish and back", {RIGHT, LEFT}, "paused - tick 2 (history) - 128 ms"},
      {"hover", {mouse(k::MouseMove, 30, 30)}, nullptr},
      {"click a breakpoint",
       {mouse(k::MouseDown, 50, 40, 1), mouse(k::MouseUp, 50, 40, 1)},
       nullptr},
      // In the past: the run forks at tick 2. Escape stops typing, and not the run.
      {"type into a cell",
       {mouse(k::MouseMove, 41, 37), ENTER, typed(U'A'), typed(U'B'), BACKSPACE, ESCAPE, ESCAPEUP},
       "paused - tick 2 - 128 ms",
       [&](const session& s) {
         return cell(s, 5, 3) == 'A' && cell(s, 6, 3) == ' ' && !s.typing();
       }},
      {"select, turn, raise and switch a pointer",
       {mouse(k::MouseDown, 26, 2, 3), typed(U'T'), typed(U']'), typed(U'C')},
       nullptr,
       [&](const session& s) {
         const ip* p = pointer(s);
         return p && p->dir == DOWN && p->val[0] == 3 && p->on == 1;
       }},
      {"drag the pointer",
       {mouse(k::MouseDown, 26, 2, 1), mouse(k::MouseMove, 85, 62), mouse(k::MouseUp, 85, 62, 1)},
       nullptr,
       [&](const session& s) { return pointer(s) && pointer(s)->x == 10 && pointer(s)->y == 5; }},
      {"remove the pointer", {DELETE}, nullptr, [&](const session& s) { return !pointer(s); }},
      {"drag",
       {mouse(k::MouseDown, 400, 300, 1), mouse(k::MouseMove, 240, 180),
        mouse(k::MouseUp, 240, 180, 1)},
       nullptr},
      {"zoom", {WHEELUP, WHEELUP}, nullptr},
  };
  host h;
  ASSERT_TRUE(h.load(wide));
  tracewriter trace;
  ASSERT_TRUE(trace.open(h.dir.path() + "/trace"));
  h.driver.settrace(&trace);
  ASSERT_TRUE(h.driver.show());
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    h.view.held = false;
    h.view.presses.assign(r.presses.begin(), r.presses.end());
    do {
      h.view.held = false;
      h.driver.tick();
    } while (!h.view.presses.empty());
    ASSERT_FALSE(h.view.shown.empty());
    EXPECT_EQ(h.view.shown.back(), testing::painter().of(h.driver.run()));
    if (r.caption) {
      EXPECT_EQ(utf8name(h.view.title), std::string("Tarvex Application - ") + r.caption);
    }
    if (r.holds) {
      EXPECT_TRUE(r.holds(h.driver.run()));
    }
  }
  // Each edit is a trace line of its own, the first made in the past, at tick 2.
  std::istringstream lines(testing::readfile(h.dir.path() + "/trace"));
  std::vector<std::string> edits;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("{\"edit\"", 0) == 0) edits.push_back(line);
  ASSERT_EQ(edits.size(), 8u);
  EXPECT_EQ(edits[0], "{\"edit\":{\"tick\":2,\"cell\":[5,3,65]}}");
  EXPECT_EQ(edits[3], "{\"edit\":{\"tick\":2,\"pointer\":[3,3,0,1,2,0,0,0,0,0,0]}}");
  EXPECT_EQ(edits[7], "{\"edit\":{\"tick\":2,\"remove\":3}}");
  const studioview& v = h.driver.run().view();
  EXPECT_TRUE(h.driver.run().breaksat({50 / 8, 40 / 12}));
  // Dragging the grid up and to the left scrolls the view right and down: 20 columns, 10 lines.
  EXPECT_EQ(v.zoom, 3);
  EXPECT_EQ(cellat(v, 360, 256), (cellpos{20 + 45, 10 + 21}));
}

TEST(driver, escape_or_a_close_request_stops_the_run_and_nothing_more_is_shown) {
  for (auto [held, asked] : {std::pair{true, true}, {false, true}, {true, false}}) {
    host h(false);
    ASSERT_TRUE(h.load("%>v\n ^<\n"));
    h.view.held = held, h.view.asked = asked;
    EXPECT_FALSE(h.driver.show());
    EXPECT_FALSE(h.driver.tick());
    EXPECT_TRUE(h.driver.userstopped());
    EXPECT_TRUE(h.view.shown.empty());
    // A close request that comes while Escape is down stays pending.
    EXPECT_EQ(h.view.closequeries, held ? 0 : 2);
  }
}

} // namespace
} // namespace tarvex
